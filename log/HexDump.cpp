// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "HexDump.h"

namespace {

constexpr qsizetype RowBytes = 16;
constexpr qsizetype HalfRow = RowBytes / 2;
constexpr int OffsetDigits = 8;
// Unicode's pictures of the control characters: U+2400 for NUL on, U+2421 for DEL.
constexpr char16_t ControlPictures = 0x2400;
constexpr char16_t DeletePicture = 0x2421;
constexpr uchar Delete = 0x7F;
constexpr uchar NoBreakSpace = 0xA0;
// C1 controls and the no-break space have no picture of their own.
constexpr char16_t InvisibleByte = 0x00B7; // ·

QChar shown(uchar byte)
{
    if (byte < ' ')
        return QChar(char16_t(ControlPictures + byte));
    if (byte == Delete)
        return QChar(DeletePicture);
    if (byte > Delete && byte <= NoBreakSpace)
        return QChar(InvisibleByte);
    return QChar(byte);
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
