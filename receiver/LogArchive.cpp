// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogArchive.h"

void LogArchive::append(QStringView text, qint64 lines)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(text.utf16()),
                                                     text.size() * qsizetype(sizeof(char16_t)));
    QByteArray compressed = qCompress(bytes, 1);
    compressed.squeeze(); // qCompress leaves room for the uncompressed size
    m_parts.push_back(std::move(compressed));
    m_lines += lines;
    m_characters += text.size();
}

bool LogArchive::forEachPart(const std::function<bool(QStringView)> &take) const
{
    for (const QByteArray &part : m_parts) {
        const QByteArray bytes = qUncompress(part);
        if (!take(QStringView(reinterpret_cast<const char16_t *>(bytes.constData()),
                              bytes.size() / qsizetype(sizeof(char16_t)))))
            return false;
    }
    return true;
}

void LogArchive::clear()
{
    m_parts.clear();
    m_lines = 0;
    m_characters = 0;
}
