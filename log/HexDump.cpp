// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "HexDump.h"

namespace {

constexpr qsizetype RowBytes = 16;
constexpr qsizetype HalfRow = RowBytes / 2;
constexpr int OffsetDigits = 8;
constexpr uchar Delete = 0x7F;
constexpr uchar NoBreakSpace = 0xA0;
constexpr uchar SoftHyphen = 0xAD;

// As hexdump -C shows a byte it does not print: a dot, which every font has (Unicode's pictures of
// the control characters are in none that a desktop installs). The Latin-1 letters read as the log
// box reads them.
QChar shown(uchar byte)
{
    const bool printed =
        (byte >= ' ' && byte < Delete) || (byte > NoBreakSpace && byte != SoftHyphen);
    return QChar(printed ? char16_t(byte) : u'.');
}

} // namespace

// Digit by digit: QString::arg for every byte was most of the cost of showing a large datagram.
QString hexDump(QByteArrayView bytes)
{
    static constexpr char16_t Digits[] = u"0123456789abcdef";
    const auto hex = [&](QString &dump, qsizetype value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            dump += QChar(Digits[(value >> shift) & 0xF]);
    };
    QString dump;
    for (qsizetype row = 0; row < bytes.size(); row += RowBytes) {
        const QByteArrayView part = bytes.sliced(row, std::min(RowBytes, bytes.size() - row));
        hex(dump, row, OffsetDigits);
        dump += u' ';
        for (qsizetype i = 0; i < RowBytes; ++i) {
            if (i == HalfRow)
                dump += u' ';
            if (i < part.size()) {
                dump += u' ';
                hex(dump, uchar(part[i]), 2);
            } else {
                dump += QLatin1String("   ");
            }
        }
        dump += QLatin1String("  ");
        for (const char byte : part)
            dump += shown(uchar(byte));
        dump += u'\n';
    }
    return dump;
}
