// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGARCHIVE_H
#define HARKLINE_LOGARCHIVE_H

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

// The oldest part of a long log, moved out of the log box to keep the box's memory bounded, and
// kept here so that nothing is lost. The log's text is this, then what the box shows
// (LogSnapshot reads it).
//
// Where the lines that move out are the datagrams just as they arrived, as they are in a flood,
// the record of arrivals holds their text already, and the archive keeps only which datagrams
// they were. Any other text is kept compressed.
class LogArchive
{
public:
    struct Part
    {
        // Log text is nearly always one byte a character: kept so, it takes half the room. Text
        // the user typed may hold any character, and a part holding one is kept as UTF-16.
        QByteArray bytes;
        bool latin1 = true;
        // Whether 'bytes' are compressed: they are unless compressing failed.
        bool compressed = true;
        // Or the datagrams from 'first' to 'last', from the record.
        qint64 first = -1;
        qint64 last = -1;
        qint64 characters = 0;
    };

    // Adds 'text', which follows what the archive holds so far and holds 'lines' line ends.
    void append(QStringView text, qint64 lines);
    // Adds datagrams 'first' to 'last' as they arrived, each followed by a carriage return and a
    // line feed; they make 'lines' lines and 'characters' characters.
    void appendReceived(qint64 first, qint64 last, qint64 lines, qint64 characters);
    bool isEmpty() const { return m_parts.empty(); }
    qint64 lineCount() const { return m_lines; }
    qint64 characterCount() const { return m_characters; }
    // Oldest first. A part never changes once added.
    const std::vector<Part> &parts() const { return m_parts; }
    void clear();

    // What the archive costs in memory.
    qint64 heldBytes() const;

private:
    std::vector<Part> m_parts;
    qint64 m_lines = 0;
    qint64 m_characters = 0;
    qint64 m_bytes = 0;
};

#endif // HARKLINE_LOGARCHIVE_H
