// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdio>

namespace bench {

void benchFind()
{
    const int lines = g_quick ? 200000 : 1000000;
    std::printf("\n9. Find: a word near the start of the box, a log of %d lines, the caret at its "
                "end\n",
                lines);
    Harkline harkline;
    prefill(harkline, lines, 0);
    QTextCursor end(harkline.log->document());
    end.movePosition(QTextCursor::End);
    harkline.log->setTextCursor(end);
    // Near the start of the box: lines before it are kept aside, where find does not look.
    const QString word =
        harkline.log->document()->findBlockByNumber(10).text().section(QLatin1Char(' '), 0, 0);
    QAction *find = nullptr;
    for (QAction *action : harkline.log->actions()) {
        if (action->shortcut() == QKeySequence::Find)
            find = action;
    }
    // A word near the start, found after going round the end; and one that is nowhere, which
    // takes a search of the whole log.
    QList<double> found, missing;
    if (!find)
        return;
    QElapsedTimer timer;
    for (int run = 0; run < g_runs; ++run) {
        harkline.log->setTextCursor(end);
        find->trigger(); // the find field is made the first time
        auto *field = harkline.log->findChild<QLineEdit *>(QStringLiteral("findField"));
        auto *status = harkline.log->findChild<QLabel *>(QStringLiteral("findStatus"));
        if (!field || !status)
            return;
        field->clear();
        timer.start();
        field->setText(word);
        waitUntil([&] { return harkline.log->textCursor().selectedText() == word; }, 30000);
        found << double(timer.nsecsElapsed()) / 1e6;
        field->clear();
        timer.start();
        field->setText(QStringLiteral("no such word"));
        waitUntil([&] { return status->text() == QStringLiteral("Not found"); }, 60000);
        missing << double(timer.nsecsElapsed()) / 1e6;
    }
    // Meanwhile the window stays responsive: the search goes in slices of 5 ms.
    std::printf(
        "  found after %.0f ms; a word that is nowhere: not found in the %d lines of the box after "
        "%.0f ms (medians)\n",
        median(found), harkline.log->document()->blockCount(), median(missing));
}

} // namespace bench
