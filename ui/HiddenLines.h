// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_HIDDENLINES_H
#define HARKLINE_HIDDENLINES_H

#include <QString>
#include <QTextCursor>

#include <optional>

class LogText;
class QKeyEvent;

// What the user may do where the view rules hide lines: a rule changes what is shown, never what
// is kept, so a hidden line is neither copied, edited, joined to another nor removed, and the
// caret stays in lines that are shown.
namespace HiddenLines {

// Whether the selection takes in a hidden line.
bool inSelection(const QTextCursor &selection);
// The exact text of the lines shown in the selection, each with its line end.
QString shownText(const LogText &text, const QTextCursor &selection);
// Removes what is shown of the selection; a line end next to a hidden line stays, so that no
// hidden line is joined to a shown one. Returns the caret where the selection began.
QTextCursor removeShown(const QTextCursor &selection);
// Whether the key, at the caret, would join a hidden line to a shown one: Backspace at the start
// of a line after a hidden one, Delete at the end of a line before one.
bool keyWouldJoin(const QTextCursor &caret, const QKeyEvent *event);
// Where a caret in a hidden line goes: to the nearest shown line the way it was going (ahead
// when it moved forward from 'lastPosition'), or the other way where there is none; nothing
// when every line is hidden or the caret's line is shown.
std::optional<int> shownPosition(const QTextCursor &caret, int lastPosition);

} // namespace HiddenLines

#endif // HARKLINE_HIDDENLINES_H
