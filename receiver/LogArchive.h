// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGARCHIVE_H
#define HARKLINE_LOGARCHIVE_H

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// The oldest part of a very long log, moved out of the log box before its text overflowed what a
// text box can index (2^31 characters), kept here compressed so that nothing is lost. The log's
// text is this, then what the box shows.
class LogArchive
{
public:
    // Adds 'text', which ends the archive so far and holds 'lines' line ends.
    void append(QStringView text, qint64 lines);
    bool isEmpty() const { return m_parts.empty(); }
    qint64 lineCount() const { return m_lines; }
    qint64 characterCount() const { return m_characters; }
    // Hands each part's text to 'take', oldest first, until it returns false; false then.
    bool forEachPart(const std::function<bool(QStringView)> &take) const;
    void clear();

private:
    std::vector<QByteArray> m_parts; // UTF-16, compressed: any text comes back exactly
    qint64 m_lines = 0;
    qint64 m_characters = 0;
};

#endif // HARKLINE_LOGARCHIVE_H
