// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdio>

namespace bench {

void benchLongLines()
{
    constexpr int Lines = 100;
    constexpr int Size = 65507;
    std::printf("\n8. Long lines: %d datagrams of %d bytes\n", Lines, Size);
    Harkline harkline;
    QByteArray payload;
    while (payload.size() < Size)
        payload += "<14>host app[4242]: a long record, field=value, another=\"quoted\"; ";
    payload.truncate(Size);
    const QString text = QString::fromLatin1(payload);

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Lines; ++i)
        harkline.window.appendLogLine(text, benchArrival(quint32(i)));
    // Until the last is in the box (the first move out of it meanwhile: the box holds some 60).
    const auto lastIn = [&] {
        const QTextBlock last = harkline.log->document()->lastBlock().previous();
        return harkline.log->model().lines().of(last) == std::optional<qint64>(Lines - 1);
    };
    while (!lastIn())
        QCoreApplication::processEvents();
    harkline.log->viewport()->repaint();
    const double insertMs = double(timer.nsecsElapsed()) / 1e6;

    // The caret in the middle of a long line in view; each key is typed, laid out and painted.
    QTextCursor middle(harkline.log->document()->findBlockByNumber(harkline.lines() / 2));
    middle.setPosition(middle.position() + Size / 2);
    harkline.log->setTextCursor(middle);
    harkline.log->setFocus();
    processEventsFor(50);
    QList<double> keys;
    for (int i = 0; i < (g_quick ? 5 : 21); ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        timer.restart();
        QCoreApplication::sendEvent(harkline.log, &press);
        QCoreApplication::sendEvent(harkline.log, &release);
        harkline.log->viewport()->repaint();
        keys << double(timer.nsecsElapsed()) / 1e6;
        processEventsFor(20);
    }
    std::printf("  inserted and painted in %.0f ms\n", insertMs);
    printTarget("keystroke to paint in such a line (median)",
                QStringLiteral("%1 ms").arg(median(keys), 0, 'f', 1), "< 16 ms", median(keys) < 16);
}

} // namespace bench
