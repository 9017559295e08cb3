// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineJumps.h"

#include "LineFilter.h"
#include "LogHub.h"
#include "LogLines.h"
#include "LogModel.h"

#include <QTextBlock>

namespace {

// Syslog's warning: it and the severities above it are problems.
constexpr int MostMinorProblem = 4;

} // namespace

LineJumps::LineJumps(LogLines &lines, LogHub &hub, const LineFilter &filter, QObject *parent)
    : QObject(parent)
    , m_lines(lines)
    , m_model(hub.model())
    , m_filter(filter)
{
    connect(&hub, &LogHub::cleared, this, [this] { m_marked.clear(); });
    connect(&hub, &LogHub::aboutToMoveOut, this, [this](const QTextBlock &firstKept) {
        if (const std::optional<qint64> kept = m_model.lines().of(firstKept))
            m_marked.erase(m_marked.begin(), m_marked.lower_bound(*kept));
    });
}

bool LineJumps::isMarked(const QTextBlock &line) const
{
    if (line.blockFormat().boolProperty(LogText::MarkedProperty))
        return true;
    if (m_marked.empty())
        return false;
    const std::optional<qint64> arrival = m_model.lines().firstLineArrival(line);
    return arrival && m_marked.contains(*arrival);
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
    return jump(backward, [this](const QTextBlock &line) { return isMarked(line); });
}

void LineJumps::toggleMark()
{
    const QTextCursor caret = m_lines.caret();
    const bool wasMarked = isMarked(caret.block());
    if (const std::optional<qint64> arrival = m_model.lines().firstLineArrival(caret.block()))
        m_marked.erase(*arrival);
    QTextBlockFormat format = caret.blockFormat();
    if (wasMarked)
        format.clearProperty(LogText::MarkedProperty);
    else
        format.setProperty(LogText::MarkedProperty, true);
    m_model.setLineFormat(caret.block(), format);
}

void LineJumps::markArrival(qint64 arrival)
{
    m_marked.insert(arrival);
    emit arrivalMarked(arrival);
}
