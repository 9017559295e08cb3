// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_VIEWRULESCONTROLLER_H
#define HARKLINE_VIEWRULESCONTROLLER_H

#include "ViewRules.h"

#include <QObject>

class FindBar;
class LineFilter;
class LogLines;

// What the user does to the view rules: the field over the top edge for the text rule (Escape
// closes it and keeps the rule), a severity, a sender, and removing them all.
class ViewRulesController : public QObject
{
    Q_OBJECT

public:
    // The field goes over 'box', whose 'lines' the filter applies to.
    ViewRulesController(QWidget *box, LogLines &lines, LineFilter *filter);

    // Opens the field with the rule's text, to edit.
    void openField();
    bool isOpen() const;
    // The field, once it was first opened: the box places it.
    FindBar *bar() const { return m_bar; }
    void setSeverity(int severity);
    void addSender(const ViewRules::Sender &sender, bool showOnly);
    void clear();
    const ViewRules &rules() const;

signals:
    // The field opened or closed.
    void openChanged();

private:
    void setText(const QString &text);
    void applyRules();

    QWidget *m_box;
    LogLines &m_lines;
    LineFilter *m_filter;
    FindBar *m_bar = nullptr;
};

#endif // HARKLINE_VIEWRULESCONTROLLER_H
