// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AlertController.h"

#include "AlertField.h"
#include "DesktopNotifier.h"
#include "LineJumps.h"
#include "LogBox.h"
#include "LogNotices.h"
#include "SyslogMessage.h"

#include <QMenu>

#include <QApplication>
#include <QTextBlock>

AlertController::AlertController(LogBox *box, LineJumps *jumps, LogNotices *notices)
    : QObject(box)
    , m_box(box)
    , m_notices(notices)
    , m_rules(box->hub(), this)
{
    connect(&m_rules, &AlertRules::matched, jumps, &LineJumps::markArrival);
    connect(&m_rules, &AlertRules::notice, this, [this](const AlertRules::Notice &notice) {
        notifier()->notify(notice.alert, notice.summary, notice.body, notice.arrival);
        QApplication::alert(m_box->window());
    });
    connect(&box->hub(), &LogHub::cleared, this, [this] {
        if (m_notifier)
            m_notifier->forgetArrivals();
    });
}

// Made for the first alert: the session bus is nothing to the many who never set one.
DesktopNotifier *AlertController::notifier()
{
    if (!m_notifier) {
        m_notifier = new DesktopNotifier(this);
        connect(m_notifier, &DesktopNotifier::activated, this, &AlertController::showArrival);
        connect(m_notifier, &DesktopNotifier::unavailable, m_notices,
                &LogNotices::showNotificationsMissing);
    }
    return m_notifier;
}

void AlertController::openField()
{
    if (!m_bar) {
        m_bar = new AlertField(QStringLiteral("alert"),
                               tr("Alert on (host:, app:, sev:err, !text, /expression/)"), m_rules,
                               m_box);
        connect(m_bar, &AlertField::closed, this, [this] {
            emit openChanged();
            m_box->setFocus(Qt::OtherFocusReason);
        });
    }
    m_bar->openWith(suggestedRule());
    emit openChanged();
}

bool AlertController::isOpen() const
{
    return m_bar && m_bar->isVisible();
}

// The selection as it is, or the host and program the caret line's datagram names.
QString AlertController::suggestedRule() const
{
    const QTextCursor caret = m_box->textCursor();
    if (caret.hasSelection()) {
        QString text = caret.selectedText();
        text = text.left(text.indexOf(QChar::ParagraphSeparator)); // its first line
        return text.isEmpty() ? QString() : Rule::termForText(text);
    }
    const std::optional<qint64> index = m_box->model().lines().of(caret.block());
    return index ? m_rules.ruleLike(*index) : QString();
}

void AlertController::addRulesTo(QMenu *menu, AlertRules &rules)
{
    for (int alert = 0; alert < int(rules.alerts().size()); ++alert) {
        const AlertRules::Alert &rule = rules.alerts()[std::size_t(alert)];
        QAction *action =
            menu->addAction(tr("Alert on \u201c%1\u201d").arg(Rule::elided(rule.rule.text())), menu,
                            [&rules, alert](bool on) { rules.setOn(alert, on); });
        action->setCheckable(true);
        action->setChecked(rule.on);
    }
}

void AlertController::showArrival(qint64 arrival)
{
    QWidget *window = m_box->window();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    if (m_box->showInLogView(arrival))
        return;
    m_box->insertPending();
    const LineArrivals &lines = m_box->model().lines();
    if (const QTextBlock line = lines.firstLineFrom(arrival); lines.of(line) == arrival) {
        m_box->showCaret(QTextCursor(line));
        return;
    }
    m_notices->flash(tr("That line is no longer in the box"),
                     tr("The Log View (Ctrl+L) has every datagram since Start."));
}
