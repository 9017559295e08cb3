// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Highlights.h"

#include "LogLines.h"

#include <QTextBlock>

#include <array>

namespace {

// Light tints of distinct hues: black text reads on each, and each stands out on white and on a
// dark theme's background alike.
const std::array<QColor, 6> Palette {
    QColor(0xff, 0xd5, 0x4f), // amber
    QColor(0x81, 0xd4, 0xfa), // light blue
    QColor(0xa5, 0xd6, 0xa7), // green
    QColor(0xf4, 0x8f, 0xb1), // pink
    QColor(0xce, 0x93, 0xd8), // purple
    QColor(0xff, 0xab, 0x91), // orange
};
const QColor HighlightText(Qt::black);
// A sender's mark: any hue, in a strength that shows on light and dark margins.
constexpr int HueCount = 360;
constexpr int SenderSaturation = 170;
constexpr int SenderValue = 215;
// How far a highlight's hue stays from the selection's, in degrees; a selection paler than this
// saturation has no hue to keep away from.
constexpr int LeastHueApart = 30;
constexpr int LeastSelectionSaturation = 60;

} // namespace

Highlights::Highlights(const LogLines &lines, QObject *parent)
    : QObject(parent)
    , m_lines(lines)
{ }

void Highlights::add(const QString &text, const QColor &selection)
{
    if (text.isEmpty())
        return;
    // A highlight of the selection's hue would read as selected text. At most two of the palette's
    // hues lie that near any one hue, so a colour is always found.
    const auto nearSelection = [&](const QColor &color) {
        if (selection.hsvSaturation() < LeastSelectionSaturation)
            return false; // a grey selection looks like no tint
        const int apart = std::abs(color.hsvHue() - selection.hsvHue());
        return std::min(apart, HueCount - apart) < LeastHueApart;
    };
    while (nearSelection(Palette.at(std::size_t(m_nextColor))))
        m_nextColor = (m_nextColor + 1) % int(Palette.size());
    m_texts.append({ text, Palette.at(std::size_t(m_nextColor)) });
    m_nextColor = (m_nextColor + 1) % int(Palette.size());
    emit changed();
}

void Highlights::clear()
{
    m_texts.clear();
    m_nextColor = 0;
    emit changed();
}

QList<QTextEdit::ExtraSelection> Highlights::inView() const
{
    QList<QTextEdit::ExtraSelection> found;
    if (m_texts.isEmpty())
        return found;
    for (const LogLines::VisibleLine &line : m_lines.visibleLines()) {
        const QString text = line.block.text();
        for (const Highlight &highlight : m_texts) {
            QTextCharFormat format;
            format.setBackground(highlight.color);
            format.setForeground(HighlightText);
            for (qsizetype at = text.indexOf(highlight.text); at >= 0;
                 at = text.indexOf(highlight.text, at + highlight.text.size())) {
                QTextEdit::ExtraSelection selection;
                selection.cursor = QTextCursor(line.block);
                selection.cursor.setPosition(line.block.position() + int(at));
                selection.cursor.setPosition(line.block.position()
                                                 + int(at + highlight.text.size()),
                                             QTextCursor::KeepAnchor);
                selection.format = format;
                found << selection;
            }
        }
    }
    return found;
}

QColor Highlights::senderColor(const Arrival &arrival)
{
    const int bytes = arrival.addressBytes();
    const std::size_t hash = qHashBits(arrival.address.data(), std::size_t(bytes));
    return QColor::fromHsv(int(hash % HueCount), SenderSaturation, SenderValue);
}
