// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "HiddenLines.h"

#include "LogText.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace HiddenLines {

bool inSelection(const QTextCursor &selection)
{
    if (!selection.hasSelection())
        return false;
    const int to = selection.selectionEnd();
    for (QTextBlock block = selection.document()->findBlock(selection.selectionStart());
         block.isValid() && block.position() < to; block = block.next()) {
        if (!block.isVisible())
            return true;
    }
    return false;
}

QString shownText(const LogText &text, const QTextCursor &selection)
{
    const int from = selection.selectionStart();
    const int to = selection.selectionEnd();
    QString shown;
    for (QTextBlock block = selection.document()->findBlock(from);
         block.isValid() && block.position() < to; block = block.next()) {
        if (block.isVisible())
            shown += text.text(std::max(from, block.position()),
                               std::min(to, block.position() + block.length()));
    }
    return shown;
}

QTextCursor removeShown(const QTextCursor &selection)
{
    QTextDocument *document = selection.document();
    const int from = selection.selectionStart();
    const int to = selection.selectionEnd();
    std::vector<std::pair<int, int>> parts;
    for (QTextBlock block = document->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        if (!block.isVisible())
            continue;
        const QTextBlock next = block.next();
        const bool joinsShown = next.isValid() && next.isVisible() && next.position() < to;
        const int end = block.position() + block.length() - (joinsShown ? 0 : 1);
        const int begin = std::max(from, block.position());
        if (std::min(to, end) > begin)
            parts.emplace_back(begin, std::min(to, end));
    }
    QTextCursor cursor(document);
    // From the last, so that the positions of those before stay as they were.
    std::reverse(parts.begin(), parts.end());
    for (const auto &[begin, end] : parts) {
        cursor.setPosition(begin);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.setPosition(parts.empty() ? from : parts.back().first);
    return cursor;
}

bool keyWouldJoin(const QTextCursor &caret, const QKeyEvent *event)
{
    if (caret.hasSelection())
        return false;
    const bool backward =
        event->key() == Qt::Key_Backspace || event->matches(QKeySequence::DeleteStartOfWord);
    const bool forward = event->key() == Qt::Key_Delete
        || event->matches(QKeySequence::DeleteEndOfWord)
        || event->matches(QKeySequence::DeleteEndOfLine);
    const QTextBlock previous = caret.block().previous();
    const QTextBlock next = caret.block().next();
    return (backward && caret.atBlockStart() && previous.isValid() && !previous.isVisible())
        || (forward && caret.atBlockEnd() && next.isValid() && !next.isVisible());
}

std::optional<int> shownPosition(const QTextCursor &caret, int lastPosition)
{
    if (caret.block().isVisible())
        return std::nullopt;
    const bool forward = caret.position() >= lastPosition;
    for (const bool ahead : { forward, !forward }) {
        QTextBlock shown = caret.block();
        while (shown.isValid() && !shown.isVisible())
            shown = ahead ? shown.next() : shown.previous();
        if (shown.isValid())
            return ahead ? shown.position() : shown.position() + shown.length() - 1;
    }
    return std::nullopt;
}

} // namespace HiddenLines
