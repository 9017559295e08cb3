// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LINEARRIVALS_H
#define HARKLINE_LINEARRIVALS_H

#include <QMetaObject>
#include <QTextBlock>

#include <functional>
#include <optional>

class QTextDocument;

// Which datagram each line of the log's document came from, so that its details go beside it,
// also after the user has edited the log: a line shows the datagram its received text came from,
// and a line with no received text shows none (but the line of an empty datagram).
//
// A line's datagram is kept in its block's state, one int a line at no extra cost: the datagram's
// index modulo 2^31, read back as the newest index with that remainder. That is right for every
// line less than 2^31 datagrams older than the newest; every 2^29 datagrams the oldest lines get
// their whole index in a block user data object instead (rare: the document holds the most recent
// lines, and a line grows that old only when the user kept it and deleted what followed it).
//
// Qt keeps a split line's state on its first half and a joined line's on its second. So before an
// edit that may join lines, the received text of the lines around it is stamped with its datagram
// in its character format, and after the edit each changed line takes the datagram of the first
// received text it holds.
class LineArrivals
{
public:
    // 'newest' gives the index of the newest datagram recorded.
    LineArrivals(QTextDocument *document, std::function<qint64()> newest);
    ~LineArrivals();
    LineArrivals(const LineArrivals &) = delete;
    LineArrivals &operator=(const LineArrivals &) = delete;

    // While one lives, the program, not the user, is changing the document: nothing is repaired.
    class ProgramChange
    {
    public:
        explicit ProgramChange(LineArrivals &lines)
            : m_lines(lines)
        {
            ++m_lines.m_programChanges;
        }
        ~ProgramChange() { --m_lines.m_programChanges; }
        ProgramChange(const ProgramChange &) = delete;
        ProgramChange &operator=(const ProgramChange &) = delete;

    private:
        LineArrivals &m_lines;
    };

    // Ties a line the program inserted to the datagram it came from; none unties it.
    void tag(QTextBlock block, std::optional<qint64> index);
    // The datagram the line came from; none for a line the user typed.
    std::optional<qint64> of(const QTextBlock &block) const;
    // The same, for the first line of the datagram only, where its details go.
    std::optional<qint64> firstLineArrival(const QTextBlock &block) const;
    // The datagram of a line that holds only received text that no edit has touched; none for any
    // other line.
    std::optional<qint64> untouched(const QTextBlock &block) const;
    // The first line of datagram 'index', or if it is gone, of the first datagram after it that is
    // still in the document; invalid when there is none. Its time does not grow with the log.
    QTextBlock firstLineFrom(qint64 index) const;

    // Call when the datagrams are counted from 0 again.
    void restart()
    {
        m_nextSweep = SweepStep;
        m_edited = false;
    }
    // Whether the user has changed the document since it was last emptied.
    bool wasEdited() const { return m_edited; }
    // Call when the document was emptied.
    void forgetEdits() { m_edited = false; }
    // Call before a user's edit of the text from 'from' to 'to' (the caret or the selection).
    void prepareEdit(int from, int to);

private:
    struct Received
    {
        bool any = false; // the line holds received text
        std::optional<qint64> stamp; // the stamp on the first of it
    };
    static Received receivedIn(const QTextBlock &block);
    std::optional<qint64> tagged(const QTextBlock &block) const;
    void stamp(const QTextBlock &block);
    void repair(int position, int removed, int added);
    void giveOldLinesTheirWholeIndex();

    // Lines this many datagrams older than the newest get their whole index, this often: so no
    // line with only a state is ever 2^31 older than the newest, since the lines tagged between
    // two sweeps are a few frames' datagrams apart.
    static constexpr qint64 SweepStep = qint64(1) << 29;

    QTextDocument *m_document;
    std::function<qint64()> m_newest;
    QMetaObject::Connection m_changes;
    int m_programChanges = 0;
    bool m_edited = false;
    qint64 m_nextSweep = SweepStep;
};

#endif // HARKLINE_LINEARRIVALS_H
