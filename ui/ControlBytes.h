// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_CONTROLBYTES_H
#define HARKLINE_CONTROLBYTES_H

#include <QFont>
#include <QHash>
#include <QTextCharFormat>

class QTextBlock;
class QTextDocument;

// The bytes that the log box's font would draw as nothing, or as the missing-glyph box: the
// control bytes, DEL, the C1 controls, and the sign the log text keeps for a lone
// carriage return. Each is given room in the layout; the painter draws its name there in a small
// box ("NUL", "ESC", "DEL", "9B"). The text stays exactly the bytes. (A form feed that begins a
// line gets no room: nothing before it can give it any.)
//
// Room is given to the lines in view as they are painted, not as they arrive: a flood of binary
// datagrams would otherwise have every line laid out again as it came.
class ControlBytes
{
public:
    ControlBytes(QTextDocument *document, const QFont &font);

    // Gives room to the control bytes of 'line' (nothing where it has room already).
    void giveRoom(const QTextBlock &line);

    // Its name, or nothing for a character drawn as it is.
    static QString nameOf(QChar c);
    // The font of the names, for text in 'font'.
    static QFont nameFont(const QFont &font);
    // The room a name takes, for text in 'font'.
    static qreal roomFor(const QString &name, const QFont &font);

private:
    QTextDocument *m_document;
    QHash<char16_t, QTextCharFormat> m_rooms; // the format of each, that gives it its room
    qreal m_formFeedRoom = 0;
};

#endif // HARKLINE_CONTROLBYTES_H
