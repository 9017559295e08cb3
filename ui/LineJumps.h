// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LINEJUMPS_H
#define HARKLINE_LINEJUMPS_H

#include <QObject>

#include <functional>
#include <set>

class LineFilter;
class LogHub;
class LogLines;
class LogModel;
class QTextBlock;

// Moving the caret to the lines that need a look, among the lines shown: the next problem (a
// datagram of severity warning or more urgent, or the first line after datagrams the system
// dropped), and the lines the user or an alert marked. Both go round the end of the log.
class LineJumps : public QObject
{
    Q_OBJECT

public:
    LineJumps(LogLines &lines, LogHub &hub, const LineFilter &filter, QObject *parent);

    enum class Jump { None, Ahead, Wrapped };
    Jump toProblem(bool backward);
    Jump toMark(bool backward);
    // Marks the caret's line, or unmarks it.
    void toggleMark();
    // Marks the first line of datagram 'arrival', now or when it comes into the box.
    void markArrival(qint64 arrival);
    bool isMarked(const QTextBlock &line) const;

signals:
    // Datagram 'arrival' was marked: its line, if shown, is to be painted again.
    void arrivalMarked(qint64 arrival);

private:
    bool isProblem(const QTextBlock &line) const;
    Jump jump(bool backward, const std::function<bool(const QTextBlock &)> &wanted);

    LogLines &m_lines;
    LogModel &m_model;
    const LineFilter &m_filter;
    // Datagrams marked by alerts, which may come in floods: a line's format marks it for the price
    // of laying the line out again.
    std::set<qint64> m_marked;
};

#endif // HARKLINE_LINEJUMPS_H
