// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ViewRulesController.h"

#include "FindBar.h"
#include "LineFilter.h"
#include "LogLines.h"

ViewRulesController::ViewRulesController(QWidget *box, LogLines &lines, LineFilter *filter)
    : QObject(box)
    , m_box(box)
    , m_lines(lines)
    , m_filter(filter)
{ }

void ViewRulesController::openField()
{
    if (!m_bar) {
        m_bar = new FindBar(QStringLiteral("filter"), tr("Show only (!text hides, /expression/)"),
                            m_box);
        connect(m_bar, &FindBar::needleChanged, this, &ViewRulesController::setText);
        connect(m_bar, &FindBar::closeRequested, this, [this] {
            m_bar->hide();
            emit openChanged();
            m_box->setFocus(Qt::OtherFocusReason);
        });
    }
    // The rule as it is now, to edit; Sender and severity rules stay as they are.
    const QSignalBlocker quiet(m_bar);
    m_bar->setNeedle(m_filter->rules().text());
    m_bar->setStatus({});
    m_bar->open();
    emit openChanged();
}

bool ViewRulesController::isOpen() const
{
    return m_bar && m_bar->isVisible();
}

void ViewRulesController::setText(const QString &text)
{
    const QString error = m_filter->rules().setText(text);
    m_bar->setStatus(error.isEmpty() ? QString() : tr("Not an expression: %1").arg(error));
    applyRules();
}

void ViewRulesController::setSeverity(int severity)
{
    m_filter->rules().setSeverity(severity);
    applyRules();
}

void ViewRulesController::addSender(const ViewRules::Sender &sender, bool showOnly)
{
    m_filter->rules().addSender(sender, showOnly);
    applyRules();
}

void ViewRulesController::clear()
{
    m_filter->rules().clear();
    if (m_bar) {
        const QSignalBlocker quiet(m_bar);
        m_bar->setNeedle({});
        m_bar->setStatus({});
    }
    applyRules();
}

const ViewRules &ViewRulesController::rules() const
{
    return m_filter->rules();
}

void ViewRulesController::applyRules()
{
    m_lines.insertPending();
    m_filter->apply();
}
