// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineJumps.h"

#include "LineFilter.h"
#include "LogLines.h"
#include "LogModel.h"

#include <QTextBlock>

namespace {

// Syslog's warning: it and the severities above it are problems.
constexpr int MostMinorProblem = 4;

} // namespace

LineJumps::LineJumps(LogLines &lines, LogModel &model, const LineFilter &filter, QObject *parent)
    : QObject(parent)
    , m_lines(lines)
    , m_model(model)
    , m_filter(filter)
{ }

bool LineJumps::isMarked(const QTextBlock &line)
{
    return line.blockFormat().boolProperty(LogText::MarkedProperty);
}

bool LineJumps::isProblem(const QTextBlock &line) const
{
    const std::optional<qint64> index = m_model.lines().firstLineArrival(line);
    if (index) {
        const std::optional<ArrivalEntry> entry = m_model.arrivals().at(*index);
        if (entry && entry->priority && entry->priority->severity() <= MostMinorProblem)
            return true;
    }
    return m_filter.followsLoss(line);
}

LineJumps::Jump LineJumps::jump(bool backward,
                                const std::function<bool(const QTextBlock &)> &wanted)
{
    m_lines.insertPending();
    const QTextBlock start = m_lines.caret().block();
    QTextBlock block = start;
    bool wrapped = false;
    do {
        block = backward ? block.previous() : block.next();
        if (!block.isValid()) {
            const QTextDocument *document = m_model.document();
            block = backward ? document->lastBlock() : document->firstBlock();
            wrapped = true;
        }
        if (block.isVisible() && wanted(block)) {
            m_lines.showCaret(QTextCursor(block));
            return wrapped ? Jump::Wrapped : Jump::Ahead;
        }
    } while (block != start);
    return Jump::None;
}

LineJumps::Jump LineJumps::toProblem(bool backward)
{
    return jump(backward, [this](const QTextBlock &line) { return isProblem(line); });
}

LineJumps::Jump LineJumps::toMark(bool backward)
{
    return jump(backward, &LineJumps::isMarked);
}

void LineJumps::toggleMark()
{
    const QTextCursor caret = m_lines.caret();
    if (!isMarked(caret.block())) {
        mark(caret.block());
        return;
    }
    QTextBlockFormat format = caret.blockFormat();
    format.clearProperty(LogText::MarkedProperty);
    m_model.setLineFormat(caret.block(), format);
}

void LineJumps::mark(const QTextBlock &line)
{
    QTextBlockFormat format = line.blockFormat();
    format.setProperty(LogText::MarkedProperty, true);
    m_model.setLineFormat(line, format);
}
