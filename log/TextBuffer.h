// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_TEXTBUFFER_H
#define HARKLINE_TEXTBUFFER_H

#include "Arrival.h"

#include <QByteArrayView>

#include <string>
#include <string_view>

// Text written straight into UTF-8, into a buffer that grows only when a piece would not fit: the
// saves of the arrivals write millions of rows, and through QString, or QByteArray's append for
// every small piece, they took several times as long.
class TextBuffer
{
public:
    // Rows are gathered up to about this many bytes before they are written.
    static constexpr qsizetype WriteStep = qsizetype(256) * 1024;
    // The first character that takes more than one byte in UTF-8.
    static constexpr char16_t FirstTwoByte = 0x80;

    QByteArrayView text() const { return { m_bytes.data(), m_used }; }
    void clear() { m_used = 0; }

    // Where up to 'most' bytes go next; advance() says where they ended.
    char *room(qsizetype most)
    {
        if (qsizetype(m_bytes.size()) - m_used < most) [[unlikely]]
            grow(most);
        return m_bytes.data() + m_used;
    }
    void advance(const char *end) { m_used = end - m_bytes.data(); }

    void raw(std::string_view text);
    void number(qint64 value);
    // When a datagram arrived, RFC 3339 to the millisecond in this computer's offset, and who sent
    // it: what every save of the arrivals begins a row with.
    void arrivalTime(qint64 timeNs);
    void sender(const Arrival &arrival);

    // Tests of eight bytes at once, read as one word, so that plain ASCII is copied eight bytes at
    // a time (the bit tricks of "Bit Twiddling Hacks", "Determine if a word has a zero byte").
    static constexpr quint64 Ones = 0x0101010101010101;
    static constexpr quint64 Highs = 0x8080808080808080;
    // Whether any of the eight is 'c'.
    static constexpr quint64 hasByte(quint64 eight, uchar c) { return hasZero(eight ^ (Ones * c)); }
    // Whether any is below 'n' (at most 128).
    static constexpr quint64 hasLess(quint64 eight, uchar n)
    {
        return (eight - Ones * n) & ~eight & Highs;
    }
    // Whether any is 128 or above: not ASCII.
    static constexpr quint64 hasHigh(quint64 eight) { return eight & Highs; }

private:
    static constexpr quint64 hasZero(quint64 word) { return (word - Ones) & ~word & Highs; }

    Q_DECL_COLD_FUNCTION void grow(qsizetype most);

    std::string m_bytes; // its size is the room there is; what is written ends at m_used
    qsizetype m_used = 0;
};

#endif // HARKLINE_TEXTBUFFER_H
