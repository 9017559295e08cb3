// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogPainter.h"

#include "ControlBytes.h"
#include "LogMargin.h"

#include <QPainter>
#include <QTextDocument>

namespace {

// Lines longer than this are drawn only where they are in view.
constexpr int LongLine = 2000;
// Characters drawn either side of what is in view, so that partly visible glyphs are drawn whole.
constexpr int EdgeCharacters = 2;
// Light enough that text and selection stay readable through it.
constexpr int MarkTintAlpha = 60;
// A control byte's box: its frame fainter than its name.
constexpr qreal ControlFrameAlpha = 0.5;
constexpr qreal ControlFrameRadius = 2;

} // namespace

const QColor LogPainter::MarkColor(0x3f, 0x51, 0xb5); // indigo: no severity uses it

void LogPainter::paint(QPainter &painter, const View &view, QRect exposed,
                       const std::function<bool(const QTextBlock &)> &followsLoss)
{
    if (!view.firstVisible.isValid())
        return;
    const QTextDocument *document = view.firstVisible.document();
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    QPointF offset = view.contentOffset;
    // The right margin stays clean of full-width selections.
    const qreal documentWidth = layout->documentSize().width();
    exposed.setRight(
        std::min(exposed.right(),
                 int(offset.x() + std::max(qreal(view.viewportSize.width()), documentWidth)
                     - document->documentMargin() + view.cursorWidth)));
    painter.setClipRect(exposed);
    painter.setBrushOrigin(offset);
    painter.setPen(view.context.palette.text().color());

    for (QTextBlock block = view.firstVisible; block.isValid(); block = block.next()) {
        const QRectF area = layout->blockBoundingRect(block).translated(offset);
        if (block.isVisible() && area.bottom() >= exposed.top() && area.top() <= exposed.bottom()) {
            if (view.tinted && view.tinted(block)) {
                QColor tint = MarkColor;
                tint.setAlpha(MarkTintAlpha);
                painter.fillRect(area.toAlignedRect().adjusted(0, 0, view.viewportSize.width(), 0),
                                 tint);
            }
            QList<QTextLayout::FormatRange> selections;
            const int start = block.position();
            for (const QAbstractTextDocumentLayout::Selection &selection :
                 view.context.selections) {
                const int from = selection.cursor.selectionStart() - start;
                const int to = selection.cursor.selectionEnd() - start;
                if (from < block.length() && to > 0 && to > from)
                    selections.append({ from, to - from, selection.format });
            }
            QTextLayout *blockLayout = block.layout();
            if (block.length() > LongLine)
                drawInView(painter, view, block, offset, selections, exposed);
            else
                blockLayout->draw(&painter, offset, selections, exposed);
            if (!blockLayout->formats().isEmpty())
                drawControlBytes(painter, view, block, offset, selections, exposed);
            const int cursor = view.context.cursorPosition - start;
            if (view.showCursor && cursor >= 0 && cursor < block.length())
                blockLayout->drawCursor(&painter, offset, cursor, view.cursorWidth);
            if (followsLoss(block)) {
                painter.save();
                painter.setPen(QPen(LogMargin::LossColor, 1, Qt::DashLine));
                painter.drawLine(QPointF(0, area.top()),
                                 QPointF(view.viewportSize.width(), area.top()));
                painter.restore();
            }
        }
        offset.ry() += area.height();
        if (offset.y() > view.viewportSize.height())
            break;
    }
}

// Draws each control byte's name in the room its format gave it, over whatever the font drew there.
void LogPainter::drawControlBytes(QPainter &painter, const View &view, const QTextBlock &block,
                                  QPointF offset, const QList<QTextLayout::FormatRange> &selections,
                                  const QRect &exposed)
{
    const QTextLayout *layout = block.layout();
    const QPointF origin = offset + layout->position();
    const QString text = block.text();
    const QFont nameFont = ControlBytes::nameFont(view.font);
    painter.save();
    painter.setFont(nameFont);
    // Only the characters in view: a datagram may hold 65,507 control bytes.
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const int from = std::max(line.textStart(),
                                  line.xToCursor(exposed.left() - origin.x()) - EdgeCharacters);
        const int to = std::min(line.textStart() + line.textLength(),
                                line.xToCursor(exposed.right() - origin.x()) + EdgeCharacters);
        for (int at = from; at < to; ++at)
            drawControlByte(painter, view, text, at, line, origin, selections, exposed);
    }
    painter.restore();
}

void LogPainter::drawControlByte(QPainter &painter, const View &view, const QString &text, int at,
                                 const QTextLine &line, QPointF origin,
                                 const QList<QTextLayout::FormatRange> &selections,
                                 const QRect &exposed)
{
    const QPalette &palette = view.context.palette;
    const QString name = ControlBytes::nameOf(text.at(at));
    if (name.isEmpty())
        return;
    qreal left = line.cursorToX(at);
    qreal width = line.cursorToX(at + 1) - left;
    if (width <= 0) { // its room is before it, where there is anything before it
        if (at == 0)
            return;
        width = ControlBytes::roomFor(name, view.font);
        left -= width;
    }
    const QRectF room(origin + QPointF(left, line.y()), QSizeF(width, line.height()));
    if (room.intersects(exposed)) {
        const auto selection =
            std::find_if(selections.begin(), selections.end(), [&](const auto &selected) {
                return at >= selected.start && at < selected.start + selected.length;
            });
        const bool selected = selection != selections.end();
        painter.fillRect(room, selected ? selection->format.background() : palette.base());
        const QColor ink = !selected ? palette.text().color()
            : selection->format.hasProperty(QTextFormat::ForegroundBrush)
            ? selection->format.foreground().color()
            : palette.highlightedText().color();
        QColor frame = ink;
        frame.setAlphaF(ControlFrameAlpha);
        painter.setPen(frame);
        painter.drawRoundedRect(room.adjusted(1, 2, -1, -2), ControlFrameRadius,
                                ControlFrameRadius);
        painter.setPen(ink);
        painter.drawText(room, Qt::AlignCenter, name);
    }
}

// Lays out and draws only the characters of the block's lines that are in view, where the whole
// line would have put them.
void LogPainter::drawInView(QPainter &painter, const View &view, const QTextBlock &block,
                            QPointF offset, const QList<QTextLayout::FormatRange> &selections,
                            const QRect &exposed)
{
    const QTextLayout *layout = block.layout();
    const QString lineText = block.text();
    const QPointF origin = offset + layout->position();
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        if (origin.y() + line.rect().bottom() < exposed.top()
            || origin.y() + line.y() > exposed.bottom())
            continue;
        int from = std::max(line.textStart(),
                            line.xToCursor(exposed.left() - origin.x()) - EdgeCharacters);
        int to = std::min(line.textStart() + line.textLength(),
                          line.xToCursor(exposed.right() - origin.x()) + EdgeCharacters);
        while (to > from && lineText.at(to - 1) == QChar::LineSeparator)
            --to;
        if (to <= from)
            continue;
        QTextLayout part(lineText.mid(from, to - from), view.font, painter.device());
        QTextOption option = block.document()->defaultTextOption();
        option.setWrapMode(QTextOption::NoWrap);
        part.setTextOption(option);
        // The part is laid out with the formats that give control bytes their room, so that
        // what follows one is where the whole line has it.
        const auto partOf = [&](const QList<QTextLayout::FormatRange> &ranges) {
            QList<QTextLayout::FormatRange> inPart;
            for (const QTextLayout::FormatRange &range : ranges) {
                const int begin = std::max(range.start, from);
                const int end = std::min(range.start + range.length, to);
                if (begin < end)
                    inPart.append({ begin - from, end - begin, range.format });
            }
            return inPart;
        };
        part.setFormats(partOf(layout->formats()));
        const QList<QTextLayout::FormatRange> partSelections = partOf(selections);
        part.beginLayout();
        part.createLine().setPosition(QPointF(0, 0));
        part.endLayout();
        part.draw(&painter, origin + QPointF(line.cursorToX(from), line.y()), partSelections);
    }
}
