// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AlertField.h"

#include "AlertRules.h"

AlertField::AlertField(const QString &name, const QString &placeholder, AlertRules &rules,
                       QWidget *parent)
    : FindBar(name, placeholder, parent)
    , m_rules(rules)
{
    hide();
    connect(this, &FindBar::nextRequested, this, &AlertField::setRule);
    connect(this, &FindBar::previousRequested, this, &AlertField::setRule);
    // A mistake said of what was typed before is no longer true.
    connect(this, &FindBar::needleChanged, this, [this] { setStatus({}); });
    connect(this, &FindBar::closeRequested, this, &AlertField::closeField);
}

void AlertField::openWith(const QString &suggestion)
{
    {
        const QSignalBlocker quiet(this);
        setNeedle(suggestion);
    }
    setStatus({});
    open();
}

void AlertField::setRule()
{
    const QString mistake = m_rules.add(needle());
    if (!mistake.isEmpty()) {
        setStatus(mistake);
        return;
    }
    closeField();
}

void AlertField::closeField()
{
    hide();
    emit closed();
}
