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
    if (part.latin1) {
        part.compressed = compressed(text.toLatin1());
    } else {
        part.compressed = compressed(QByteArrayView(reinterpret_cast<const char *>(text.utf16()),
                                                    text.size() * qsizetype(sizeof(char16_t))));
    }
    m_heldBytes += part.compressed.size();
    m_parts.push_back(std::move(part));
    m_lines += lines;
    m_characters += text.size();
}

bool LogArchive::forEachPart(const std::function<bool(QStringView)> &take) const
{
    for (const Part &part : m_parts) {
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

void LogArchive::clear()
{
    m_parts.clear();
    m_lines = 0;
    m_characters = 0;
    m_heldBytes = 0;
}
