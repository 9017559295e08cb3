// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogArchive.h"

#include "ArrivalRecord.h"
#include "Compression.h"

#include <algorithm>

namespace {

// Received text is handed out in pieces of about this many characters.
constexpr qsizetype PieceSize = qsizetype(1024) * 1024;

} // namespace

LogArchive::LogArchive(const ArrivalRecord &record)
    : m_record(record)
{ }

void LogArchive::append(QStringView text, qint64 lines)
{
    Part part;
    part.latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    if (part.latin1) {
        part.compressed = compressed(text.toLatin1());
    } else {
        part.compressed = compressed(QByteArrayView(reinterpret_cast<const char *>(text.utf16()),
                                                    text.size() * qsizetype(sizeof(char16_t))));
    }
    m_compressedBytes += part.compressed.size();
    m_parts.push_back(std::move(part));
    m_lines += lines;
    m_characters += text.size();
}

void LogArchive::appendReceived(qint64 first, qint64 last, qint64 lines, qint64 characters)
{
    Part part;
    part.first = first;
    part.last = last;
    m_parts.push_back(std::move(part));
    m_lines += lines;
    m_characters += characters;
}

bool LogArchive::forEachPart(const std::function<bool(QStringView)> &take) const
{
    for (const Part &part : m_parts) {
        if (part.first >= 0) {
            if (!forEachReceived(part, take))
                return false;
            continue;
        }
        const QByteArray bytes = decompressed(part.compressed);
        const QString text = part.latin1
            ? QString::fromLatin1(bytes)
            : QString(reinterpret_cast<const QChar *>(bytes.constData()),
                      bytes.size() / qsizetype(sizeof(char16_t)));
        if (!take(text))
            return false;
    }
    return true;
}

bool LogArchive::forEachReceived(const Part &part,
                                 const std::function<bool(QStringView)> &take) const
{
    QString text;
    const bool taken = m_record.forEach(
        part.first, part.last + 1, [&](const ArrivalRecord::Entry &, QByteArrayView payload) {
            text += QString::fromLatin1(payload); // one character per byte, as it arrived
            text += QLatin1String("\r\n");
            if (text.size() < PieceSize)
                return true;
            const bool more = take(text);
            text.resize(0);
            return more;
        });
    return taken && (text.isEmpty() || take(text));
}

void LogArchive::clear()
{
    m_parts.clear();
    m_lines = 0;
    m_characters = 0;
    m_compressedBytes = 0;
}

qint64 LogArchive::heldBytes() const
{
    return m_compressedBytes + qint64(m_parts.capacity() * sizeof(Part));
}
