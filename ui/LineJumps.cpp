// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineJumps.h"

#include "LineFilter.h"
#include "LogBox.h"
#include "LogModel.h"

#include <QTextBlock>

namespace {

// Syslog's warning: it and the severities above it are problems.
constexpr int MostMinorProblem = 4;

} // namespace

LineJumps::LineJumps(LogBox *box, LogModel &model, const LineFilter &filter)
    : QObject(box)
    , m_box(box)
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
    m_box->insertPending();
    const QTextBlock start = m_box->textCursor().block();
    QTextBlock block = start;
    bool wrapped = false;
    do {
        block = backward ? block.previous() : block.next();
        if (!block.isValid()) {
            const QTextDocument *document = m_box->document();
            block = backward ? document->lastBlock() : document->firstBlock();
            wrapped = true;
        }
        if (block.isVisible() && wanted(block)) {
            QTextCursor caret(block);
            m_box->setTextCursor(caret);
            m_box->centerCursor();
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
    QTextCursor caret = m_box->textCursor();
    QTextBlockFormat format = caret.blockFormat();
    if (isMarked(caret.block()))
        format.clearProperty(LogText::MarkedProperty);
    else
        format.setProperty(LogText::MarkedProperty, true);
    m_model.setLineFormat(caret.block(), format);
}
