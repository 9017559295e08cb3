// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGLINES_H
#define HARKLINE_LOGLINES_H

#include <QList>
#include <QTextBlock>
#include <QTextCursor>

// What the log box's parts (margin, find, highlights, jumps, view rules) need of the box, and no
// more: the lines in view, the caret, and the lines still waiting to be shown put in first.
class LogLines
{
public:
    struct VisibleLine
    {
        QTextBlock block;
        int top;
        int height;
    };
    // Where the lines in view are, top to bottom, in viewport coordinates.
    virtual QList<VisibleLine> visibleLines() const = 0;
    virtual QTextBlock lineAt(int y) const = 0;
    virtual QTextCursor caret() const = 0;
    // Moves the caret (a selection, maybe) and brings it to the middle of the view.
    virtual void showCaret(const QTextCursor &caret) = 0;
    // Puts the lines waiting to be shown into the box now.
    virtual void insertPending() = 0;

protected:
    ~LogLines() = default;
};

#endif // HARKLINE_LOGLINES_H
