// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FINDCONTROLLER_H
#define HARKLINE_FINDCONTROLLER_H

#include <QObject>
#include <QTextEdit>

class FindBar;
class LogLines;
class LogSearch;

// Find in the log box: the field over its top edge, the search from the caret, the match selected
// and scrolled into view, and every match in view highlighted. A line the view rules hide is
// not a match. The search covers the lines in the
// box; the box says when older lines, kept aside, were not searched.
class FindController : public QObject
{
    Q_OBJECT

public:
    // The field goes over 'box'; it finds in the box's 'lines'.
    FindController(QWidget *box, LogLines &lines);

    // Opens the field, or gives it the focus again, with its text selected.
    void open();
    bool isOpen() const;
    // The field, once it was first opened: the box places it.
    FindBar *bar() const { return m_bar; }
    void findNext();
    void findPrevious();
    // The lines in view changed: their matches are highlighted.
    void updateHighlights();
    QList<QTextEdit::ExtraSelection> matchesInView() const;
    // The log was cleared: nothing is being looked for in it any more.
    void cancel();

signals:
    // The field opened or closed.
    void openChanged();
    // The matches in view are others.
    void highlightsChanged();

private:
    FindBar *makeBar();
    void findFrom(int position, bool backward);
    void showMatch(int position, int length, bool wrapped);
    void close();

    QWidget *m_box;
    LogLines &m_lines;
    FindBar *m_bar = nullptr;
    LogSearch *m_search;
    int m_origin = 0; // where typing searches from
};

#endif // HARKLINE_FINDCONTROLLER_H
