// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TextBuffer.h"

#include "TimeStamps.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace {

constexpr qsizetype LongestNumber = std::numeric_limits<qint64>::digits10 + 2;

} // namespace

void TextBuffer::raw(std::string_view text)
{
    char *at = room(qsizetype(text.size()));
    std::memcpy(at, text.data(), text.size());
    advance(at + text.size());
}

void TextBuffer::number(qint64 value)
{
    char *at = room(LongestNumber);
    advance(std::to_chars(at, at + LongestNumber, value).ptr);
}

void TextBuffer::arrivalTime(qint64 timeNs)
{
    const qint64 ms = floorMs(timeNs);
    advance(writeRfc3339(room(Rfc3339Length), ms, localOffsetSeconds(ms)));
}

void TextBuffer::sender(const Arrival &arrival)
{
    advance(arrival.writeSenderText(room(Arrival::LongestSenderText)));
}

void TextBuffer::grow(qsizetype most)
{
    m_bytes.resize(std::max(std::size_t(m_used + most), 2 * m_bytes.size()));
}
