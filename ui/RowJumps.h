// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ROWJUMPS_H
#define HARKLINE_ROWJUMPS_H

#include "RuleSearch.h"

#include <QObject>

#include <set>

class FindBar;
class LogHub;
class LogTable;
class ShownRows;

// The Log View's ways to the row wanted: find, the next problem, marks, a datagram named. Searches
// run over the whole record off the window's thread and land on rows the filter shows.
class RowJumps : public QObject
{
    Q_OBJECT

public:
    RowJumps(LogHub &hub, ShownRows *rows, LogTable *table, FindBar *findBar);

    // The next row the find field's rule matches; opens the field when it holds none.
    void find(bool backward);
    // The next row with a warning or worse, or one the system dropped datagrams before.
    void jumpToProblem(bool backward);
    void toggleMark();
    void jumpToMark(bool backward);
    // Makes datagram 'datagram' the current row, or the gap's row before it with 'toGap'.
    void goToDatagram(qint64 datagram, bool toGap);
    qint64 currentDatagram() const;
    bool isSearching() const { return m_search.isRunning(); }
    void cancelSearch() { m_search.cancel(); }

signals:
    // What a find or a jump has to tell, until the next.
    void said(const QString &text);

private:
    // 'problems': the jump to problems, which lands on a gap's row.
    void search(bool backward, const RuleSearch::Test &test, bool needsFields, const QString &what,
                bool problems);

    LogHub &m_hub;
    ShownRows *m_rows;
    LogTable *m_table;
    FindBar *m_findBar;
    RuleSearch m_search;
    QString m_searching; // what the search running looks for, for its answer
    bool m_searchingProblems = false;
    std::set<qint64> m_marks; // datagrams
};

#endif // HARKLINE_ROWJUMPS_H
