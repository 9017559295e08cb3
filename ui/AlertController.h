// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ALERTCONTROLLER_H
#define HARKLINE_ALERTCONTROLLER_H

#include "AlertRules.h"

#include <QObject>

class AlertField;
class DesktopNotifier;
class LineJumps;
class LogBox;
class LogNotices;
class QMenu;

// What the user does with alerts in the log box: the field over its top edge where a rule is
// typed (Enter sets it, Escape closes it), "Alert on Errors", turning rules off; and what an alert
// does: a desktop notification, the window asking for attention, the line marked for F2. A click
// on the notification brings the window up with the caret on the line.
class AlertController : public QObject
{
    Q_OBJECT

public:
    AlertController(LogBox *box, LineJumps *jumps, LogNotices *notices);

    AlertRules &rules() { return m_rules; }
    // Opens the field, with the selection or the caret line's host and program as a rule.
    void openField();
    bool isOpen() const;
    // The field, once it was first opened: the box places it.
    AlertField *bar() const { return m_bar; }
    // The rules, each with a check to turn it off and on: the menu is where a user looks for why
    // notifications come, or stopped.
    static void addRulesTo(QMenu *menu, AlertRules &rules);

signals:
    // The field opened or closed.
    void openChanged();

private:
    QString suggestedRule() const;
    void showArrival(qint64 arrival);
    DesktopNotifier *notifier();

    LogBox *m_box;
    LogNotices *m_notices;
    AlertRules m_rules;
    DesktopNotifier *m_notifier = nullptr; // made when first needed
    AlertField *m_bar = nullptr;
};

#endif // HARKLINE_ALERTCONTROLLER_H
