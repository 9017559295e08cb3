// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogArchive.h"

#include "Compression.h"

#include <algorithm>

void LogArchive::append(QStringView text, qint64 lines)
{
    Part part;
    part.latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    const QByteArray bytes = part.latin1 ? text.toLatin1()
                                         : QByteArray(reinterpret_cast<const char *>(text.utf16()),
                                                      text.size() * qsizetype(sizeof(char16_t)));
    const std::optional<QByteArray> smaller = compressed(bytes);
    part.compressed = smaller.has_value();
    part.bytes = smaller.value_or(bytes);
    part.characters = text.size();
    m_bytes += part.bytes.size();
    m_parts.push_back(std::move(part));
    m_lines += lines;
    m_characters += text.size();
}

void LogArchive::appendReceived(qint64 first, qint64 last, qint64 lines, qint64 characters)
{
    Part part;
    part.first = first;
    part.last = last;
    part.characters = characters;
    m_parts.push_back(std::move(part));
    m_lines += lines;
    m_characters += characters;
}

void LogArchive::clear()
{
    m_parts.clear();
    m_lines = 0;
    m_characters = 0;
    m_bytes = 0;
}

qint64 LogArchive::heldBytes() const
{
    return m_bytes + qint64(m_parts.capacity() * sizeof(Part));
}
