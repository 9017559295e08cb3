// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGPAINTER_H
#define HARKLINE_LOGPAINTER_H

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QFont>
#include <QTextBlock>
#include <QTextLayout>

#include <functional>

class QPainter;

// Paints the log's text as QPlainTextEdit does, with two differences. A long line is laid out and
// drawn only where it is in view: Qt draws every glyph of a line, and a datagram may hold 65,507
// characters, of which the view shows a few dozen. And where the system dropped datagrams, a
// dashed line goes across the text above the line after the gap, so that the gap shows with the
// margin hidden too.
class LogPainter
{
public:
    // What of the box the painting needs; the box alone knows its geometry.
    struct View
    {
        QTextBlock firstVisible;
        QPointF contentOffset;
        QSize viewportSize;
        QAbstractTextDocumentLayout::PaintContext context;
        bool showCursor = true;
        int cursorWidth = 1;
        QFont font;
        // The lines marked, to be tinted; none where the margin marks them.
        std::function<bool(const QTextBlock &)> tinted;
    };

    // A marked line: its colour in the margin, and the tint of its text where there is no margin.
    static const QColor MarkColor;

    // 'followsLoss': whether the system dropped datagrams just before the line.
    static void paint(QPainter &painter, const View &view, QRect exposed,
                      const std::function<bool(const QTextBlock &)> &followsLoss);

private:
    static void drawControlBytes(QPainter &painter, const View &view, const QTextBlock &block,
                                 QPointF offset, const QList<QTextLayout::FormatRange> &selections,
                                 const QRect &exposed);
    static void drawControlByte(QPainter &painter, const View &view, const QString &text, int at,
                                const QTextLine &line, QPointF origin,
                                const QList<QTextLayout::FormatRange> &selections,
                                const QRect &exposed);
    static void drawInView(QPainter &painter, const View &view, const QTextBlock &block,
                           QPointF offset, const QList<QTextLayout::FormatRange> &selections,
                           const QRect &exposed);
};

#endif // HARKLINE_LOGPAINTER_H
