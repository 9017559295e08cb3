// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_HEXDUMP_H
#define HARKLINE_HEXDUMP_H

#include <QByteArrayView>
#include <QString>

// The bytes as a hex dump, 16 a row: the offset, the bytes in hex, and the characters beside
// them, with a control byte shown as the picture of its control character (␀, ␊, ␡), so that it
// is seen, not acted on:
// "00000000  3c 31 33 3e 68 69 0d 0a                           <13>hi␍␊"
QString hexDump(QByteArrayView bytes);

#endif // HARKLINE_HEXDUMP_H
