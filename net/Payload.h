// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_PAYLOAD_H
#define HARKLINE_PAYLOAD_H

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A payload is text one character per byte, by Latin-1 (ISO 8859-1): every byte 0 to 255 is a
// character and comes back as the same byte, NUL included.
QString payloadToText(QByteArrayView payload);

// Raises a Failure for a character that Latin-1 cannot hold, rather than send something else.
QByteArray textToPayload(const QString &text);

#endif // HARKLINE_PAYLOAD_H
