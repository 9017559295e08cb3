// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BYTEREADER_H
#define HARKLINE_BYTEREADER_H

#include <QByteArrayView>

#include <algorithm>

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Bytes read from the front, as the syslog decoder and its time grammars read a payload.
class ByteReader
{
public:
    explicit ByteReader(QByteArrayView bytes)
        : m_bytes(bytes)
    { }

    bool atEnd() const { return m_at >= m_bytes.size(); }
    qsizetype position() const { return m_at; }
    void moveTo(qsizetype position) { m_at = position; }
    char peek(qsizetype ahead = 0) const
    {
        return m_at + ahead < m_bytes.size() ? m_bytes[m_at + ahead] : '\0';
    }
    bool take(char c)
    {
        if (atEnd() || m_bytes[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    // Up to, not including, the next space or the end.
    QByteArrayView word()
    {
        const qsizetype start = m_at;
        while (!atEnd() && m_bytes[m_at] != ' ')
            ++m_at;
        return m_bytes.sliced(start, m_at - start);
    }
    // 'count' digits as a number, or -1 when they are not there.
    int digits(int count)
    {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            if (!isDigit(peek(i)))
                return -1;
            value = value * 10 + (peek(i) - '0');
        }
        m_at += count;
        return value;
    }
    QByteArrayView rest() const { return m_bytes.sliced(std::min(m_at, m_bytes.size())); }
    // How many digits a number of at most 'most' digits here has, when 'after' follows it; else 0.
    qsizetype numberBefore(QByteArrayView after, qsizetype most) const
    {
        qsizetype count = 0;
        while (count <= most && isDigit(peek(count)))
            ++count;
        return count > 0 && count <= most && rest().sliced(count).startsWith(after) ? count : 0;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

#endif // HARKLINE_BYTEREADER_H
