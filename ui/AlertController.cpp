// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AlertController.h"

#include "DesktopNotifier.h"
#include "FindBar.h"
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
    , m_jumps(jumps)
    , m_notices(notices)
    , m_rules(box->hub(), this)
{
    connect(&m_rules, &AlertRules::matched, this, [this](qint64 arrival) {
        m_toMark.insert(arrival);
        markArrived();
    });
    connect(&m_rules, &AlertRules::notice, this, [this](const AlertRules::Notice &notice) {
        notifier()->notify(notice.alert, notice.summary, notice.body, notice.arrival);
        QApplication::alert(m_box->window());
    });
    connect(&box->hub(), &LogHub::cleared, this, [this] {
        m_toMark.clear();
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
        m_bar = new FindBar(QStringLiteral("alert"),
                            tr("Alert on (host:, app:, sev:err, !text, /expression/)"), m_box);
        connect(m_bar, &FindBar::nextRequested, this, &AlertController::setRule);
        connect(m_bar, &FindBar::previousRequested, this, &AlertController::setRule);
        connect(m_bar, &FindBar::needleChanged, this, [this] { m_bar->setStatus({}); });
        connect(m_bar, &FindBar::closeRequested, this, &AlertController::closeField);
    }
    const QSignalBlocker quiet(m_bar);
    m_bar->setNeedle(suggestedRule());
    m_bar->setStatus({});
    m_bar->open();
    emit openChanged();
}

bool AlertController::isOpen() const
{
    return m_bar && m_bar->isVisible();
}

void AlertController::alertOnErrors()
{
    m_rules.add(Rule::parse(Rule::termFor(Rule::Field::Severity, QStringLiteral("err"), false)));
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

void AlertController::setRule()
{
    const Rule rule = Rule::parse(m_bar->needle());
    if (!rule.isValid()) {
        m_bar->setStatus(rule.error());
        return;
    }
    m_rules.add(rule);
    closeField();
}

void AlertController::closeField()
{
    m_bar->hide();
    emit openChanged();
    m_box->setFocus(Qt::OtherFocusReason);
}

void AlertController::markArrived()
{
    bool marked = false;
    const LineArrivals &lines = m_box->model().lines();
    // Oldest first: a datagram with no line from it on has not come into the box yet, nor have
    // those after it. One whose line is not there moved out or was edited away.
    while (!m_toMark.empty()) {
        const qint64 arrival = *m_toMark.begin();
        const QTextBlock line = lines.firstLineFrom(arrival);
        if (!line.isValid())
            break;
        if (lines.of(line) == arrival) {
            m_jumps->mark(line);
            marked = true;
        }
        m_toMark.erase(m_toMark.begin());
    }
    if (marked)
        m_box->viewport()->update();
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
