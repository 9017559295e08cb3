// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGARCHIVE_H
#define HARKLINE_LOGARCHIVE_H

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// The oldest part of a long log, moved out of the log box to keep the box's memory bounded, and
// kept here compressed so that nothing is lost. The log's text is this, then what the box shows.
class LogArchive
{
public:
    // Adds 'text', which follows what the archive holds so far and holds 'lines' line ends.
    void append(QStringView text, qint64 lines);
    bool isEmpty() const { return m_parts.empty(); }
    qint64 lineCount() const { return m_lines; }
    qint64 characterCount() const { return m_characters; }
    // Hands each part's text to 'take', oldest first, until it returns false; false then.
    bool forEachPart(const std::function<bool(QStringView)> &take) const;
    void clear();

    // What the archive costs in memory.
    qint64 heldBytes() const { return m_heldBytes; }

private:
    struct Part
    {
        QByteArray compressed;
        // Log text is nearly always one byte a character: kept so, it takes half the room. Text
        // the user typed may hold any character, and a part holding one is kept as UTF-16.
        bool latin1 = true;
    };
    std::vector<Part> m_parts;
    qint64 m_lines = 0;
    qint64 m_characters = 0;
    qint64 m_heldBytes = 0;
};

#endif // HARKLINE_LOGARCHIVE_H
