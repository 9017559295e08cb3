// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ControlBytes.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

#include <array>

namespace {

// The names ASCII gives the control bytes, as Unicode's control pictures show them.
constexpr std::array<const char *, 32> AsciiNames { "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK",
                                                    "BEL", "BS",  "HT",  "LF",  "VT",  "FF",  "CR",
                                                    "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4",
                                                    "NAK", "SYN", "ETB", "CAN", "EM",  "SUB", "ESC",
                                                    "FS",  "GS",  "RS",  "US" };
constexpr char16_t Tab = u'\t';
constexpr char16_t FormFeed = u'\f';
constexpr char16_t Delete = 0x7F;
constexpr char16_t LastC1 = 0x9F;
constexpr char16_t CarriageReturnSign = 0x240D; // the log text's lone carriage return
// The names are this much of the text's size, so that three letters take about two cells.
constexpr qreal NameScale = 0.8;
// Room either side of a name, in pixels, so that neighbouring boxes stay apart.
constexpr qreal NamePadding = 2;

} // namespace

ControlBytes::ControlBytes(QTextDocument *document, const QFont &font)
    : m_document(document)
{
    // Text without shaping gives a control byte no advance, and letter spacing none either; shaped,
    // it has the missing glyph's advance, and letter spacing adds to it.
    QFont shaped = font;
    shaped.setStyleStrategy(QFont::PreferDefault);
    const QFontMetricsF glyphs(shaped);
    for (char16_t code = 0; code <= CarriageReturnSign; ++code) {
        const QString name = nameOf(QChar(code));
        if (name.isEmpty() || code == FormFeed)
            continue;
        QTextCharFormat room;
        room.setFontStyleStrategy(QFont::PreferDefault);
        room.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        room.setFontLetterSpacing(
            std::max(0.0, roomFor(name, font) - glyphs.horizontalAdvance(QChar(code))));
        m_rooms.insert(code, room);
    }
    m_formFeedRoom = roomFor(nameOf(QChar(FormFeed)), font);
}

QString ControlBytes::nameOf(QChar c)
{
    const char16_t code = c.unicode();
    if (code < AsciiNames.size() && code != Tab)
        return QLatin1String(AsciiNames.at(code));
    if (code == Delete)
        return QStringLiteral("DEL");
    if (code > Delete && code <= LastC1)
        return QString::number(code, 16).toUpper(); // C1 controls have no names people know
    if (code == CarriageReturnSign)
        return QStringLiteral("CR");
    return {};
}

qreal ControlBytes::roomFor(const QString &name, const QFont &font)
{
    return QFontMetricsF(nameFont(font)).horizontalAdvance(name) + 2 * NamePadding;
}

QFont ControlBytes::nameFont(const QFont &font)
{
    QFont small = font;
    small.setPointSizeF(font.pointSizeF() * NameScale);
    return small;
}

void ControlBytes::giveRoom(const QTextBlock &line)
{
    const QString text = line.text();
    QList<QTextLayout::FormatRange> rooms;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t code = text.at(i).unicode();
        if (code == FormFeed && i > 0) {
            // Nothing gives a form feed an advance: its room is added to what comes before it.
            QTextCharFormat before;
            if (!rooms.isEmpty() && rooms.last().start == i - 1)
                before = rooms.takeLast().format;
            before.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            before.setFontLetterSpacing(before.fontLetterSpacing() + m_formFeedRoom);
            rooms.append({ int(i - 1), 1, before });
            continue;
        }
        const auto room = m_rooms.constFind(code);
        if (room != m_rooms.constEnd())
            rooms.append({ int(i), 1, *room });
    }
    QTextLayout *layout = line.layout();
    if (rooms == layout->formats())
        return;
    layout->setFormats(rooms);
    m_document->markContentsDirty(line.position(), line.length());
}
