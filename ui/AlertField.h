// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ALERTFIELD_H
#define HARKLINE_ALERTFIELD_H

#include "FindBar.h"

class AlertRules;

// The field where an alert rule is typed, in the log box and in the Log View alike: Enter sets
// the rule and closes it, a rule that does not read stays with its mistake shown, Escape closes.
class AlertField : public FindBar
{
    Q_OBJECT

public:
    AlertField(const QString &name, const QString &placeholder, AlertRules &rules, QWidget *parent);

    // Opens the field holding 'suggestion', selected, so typing replaces it.
    void openWith(const QString &suggestion);

signals:
    // The field closed, with a rule set or not: the focus goes back where it was.
    void closed();

private:
    void setRule();
    void closeField();

    AlertRules &m_rules;
};

#endif // HARKLINE_ALERTFIELD_H
