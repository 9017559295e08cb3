// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogSnapshot.h"

#include "Compression.h"
#include "SaveFile.h"
#include "SaveProgress.h"

#include <algorithm>

namespace {

// Received text is handed out in pieces of about this many characters.
constexpr qsizetype PieceSize = qsizetype(1024) * 1024;

bool isWide(QChar c)
{
    return c.unicode() > 0xFF;
}

// The text of an archived part of typed text; none when it does not read back.
std::optional<QString> textOf(const LogArchive::Part &part)
{
    const std::optional<QByteArray> bytes =
        part.compressed ? decompressed(part.bytes) : std::optional(part.bytes);
    if (!bytes)
        return std::nullopt;
    if (part.latin1)
        return QString::fromLatin1(*bytes);
    return QString(reinterpret_cast<const QChar *>(bytes->constData()),
                   bytes->size() / qsizetype(sizeof(char16_t)));
}

} // namespace

LogSnapshot::LogSnapshot(const LogArchive &archive, ArrivalSnapshot arrivals)
    : m_pieces(archive.parts().begin(), archive.parts().end())
    , m_arrivals(std::move(arrivals))
    , m_lines(archive.lineCount())
    , m_characters(archive.characterCount())
{ }

void LogSnapshot::addReceived(qint64 first, qint64 last, qint64 characters)
{
    LogArchive::Part part;
    part.first = first;
    part.last = last;
    part.characters = characters;
    m_pieces.emplace_back(part);
    m_characters += characters;
}

void LogSnapshot::addText(QString text)
{
    m_characters += text.size();
    m_pieces.emplace_back(std::move(text));
}

std::optional<QChar> LogSnapshot::firstWide() const
{
    for (const Piece &piece : m_pieces) {
        std::optional<QString> text;
        if (const auto *part = std::get_if<LogArchive::Part>(&piece); part && !part->latin1)
            text = textOf(*part);
        else if (const auto *typed = std::get_if<QString>(&piece))
            text = *typed;
        if (!text)
            continue;
        const auto wide = std::find_if(text->cbegin(), text->cend(), isWide);
        if (wide != text->cend())
            return *wide;
    }
    return std::nullopt;
}

qint64 LogSnapshot::notKept() const
{
    qint64 missing = 0;
    for (const Piece &piece : m_pieces) {
        if (const auto *part = std::get_if<LogArchive::Part>(&piece); part && part->first >= 0)
            missing += m_arrivals.notKeptWithin(part->first, part->last + 1);
    }
    return missing;
}

ArrivalSnapshot::Read LogSnapshot::forEachPart(const std::function<bool(QStringView)> &take,
                                               QString *error) const
{
    for (const Piece &piece : m_pieces) {
        if (const auto *typed = std::get_if<QString>(&piece)) {
            if (!take(*typed))
                return ArrivalSnapshot::Read::Stopped;
            continue;
        }
        const auto &part = std::get<LogArchive::Part>(piece);
        if (part.first >= 0) {
            const ArrivalSnapshot::Read read = forEachReceived(part, take, error);
            if (read != ArrivalSnapshot::Read::Done)
                return read;
            continue;
        }
        const std::optional<QString> text = textOf(part);
        if (!text) {
            *error = QStringLiteral("lines kept aside in memory fail their check");
            return ArrivalSnapshot::Read::Failed;
        }
        if (!take(*text))
            return ArrivalSnapshot::Read::Stopped;
    }
    return ArrivalSnapshot::Read::Done;
}

ArrivalSnapshot::Read LogSnapshot::forEachReceived(const LogArchive::Part &part,
                                                   const std::function<bool(QStringView)> &take,
                                                   QString *error) const
{
    QString text;
    const ArrivalSnapshot::Read read = m_arrivals.forEach(
        part.first, part.last + 1,
        [&](const ArrivalEntry &, QByteArrayView payload) {
            text += QString::fromLatin1(payload); // one character per byte, as it arrived
            text += QLatin1String("\r\n");
            if (text.size() < PieceSize)
                return true;
            const bool more = take(text);
            text.resize(0);
            return more;
        },
        error);
    if (read != ArrivalSnapshot::Read::Done)
        return read;
    return text.isEmpty() || take(text) ? ArrivalSnapshot::Read::Done
                                        : ArrivalSnapshot::Read::Stopped;
}

bool writeLogText(const LogSnapshot &log, QIODevice &out, bool utf8, SaveProgress &progress,
                  QString *readError)
{
    return log.forEachPart(
               [&](QStringView part) {
                   return writeAll(out, utf8 ? part.toUtf8() : part.toLatin1())
                       && progress.add(part.size());
               },
               readError)
        == ArrivalSnapshot::Read::Done;
}
