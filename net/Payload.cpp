// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Payload.h"

#include "Failure.h"

#include <QList>
#include <QStringView>

#include <algorithm>

QString payloadToText(QByteArrayView payload)
{
    return QString::fromLatin1(payload);
}

QByteArray textToPayload(const QString &text)
{
    const auto wide =
        std::find_if(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
    if (wide != text.cend()) {
        // Name the whole character, even when it takes two UTF-16 units.
        const QString character =
            QStringView(wide, text.cend()).left(wide->isHighSurrogate() ? 2 : 1).toString();
        const char32_t codePoint = character.toUcs4().value(0);
        throw Failure(
            FailureNumber::NotLatin1,
            QStringLiteral("Cannot send the character \"%1\" (U+%2): only characters of "
                           "ISO 8859-1 (Latin-1) can be sent, one byte each.")
                .arg(character, QString::number(codePoint, 16).toUpper().rightJustified(4, u'0')));
    }
    return text.toLatin1();
}
