// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGSNAPSHOT_H
#define HARKLINE_LOGSNAPSHOT_H

#include "ArrivalSnapshot.h"
#include "LogArchive.h"

#include <QString>
#include <QStringView>

class QIODevice;
class SaveProgress;

#include <functional>
#include <optional>
#include <variant>
#include <vector>

// The whole log text as it was at one moment, to write out on any thread while the log goes on:
// the archive's parts, then the box's lines, as the datagrams they are or as text where the user
// changed them, and the record those datagrams are read from.
class LogSnapshot
{
public:
    LogSnapshot(const LogArchive &archive, ArrivalSnapshot arrivals);

    // Adds datagrams 'first' to 'last' as they arrived, each followed by a carriage return and a
    // line feed, 'characters' in all.
    void addReceived(qint64 first, qint64 last, qint64 characters);
    void addText(QString text);
    void setLineCount(qint64 lines) { m_lines = lines; }

    qint64 lineCount() const { return m_lines; }
    qint64 characterCount() const { return m_characters; }
    // The first character in it that no byte can hold: only text the user typed may hold one.
    std::optional<QChar> firstWide() const;
    // Datagrams whose lines it lacks, since the record could not keep them.
    qint64 notKept() const;
    // Hands the text to 'take' in pieces that end at line ends, oldest first.
    ArrivalSnapshot::Read forEachPart(const std::function<bool(QStringView)> &take,
                                      QString *error) const;

private:
    using Piece = std::variant<LogArchive::Part, QString>;
    ArrivalSnapshot::Read forEachReceived(const LogArchive::Part &part,
                                          const std::function<bool(QStringView)> &take,
                                          QString *error) const;

    std::vector<Piece> m_pieces;
    ArrivalSnapshot m_arrivals;
    qint64 m_lines = 0;
    qint64 m_characters = 0;
};

// Writes the log text, one byte per character as the datagrams carried it, or as UTF-8, counting
// its characters in 'progress'. False when it stopped: cancelled, the device refused a write, or
// the text could not be read, which it says in 'readError'.
bool writeLogText(const LogSnapshot &log, QIODevice &out, bool utf8, SaveProgress &progress,
                  QString *readError);

#endif // HARKLINE_LOGSNAPSHOT_H
