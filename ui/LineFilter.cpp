// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineFilter.h"

#include "LogHub.h"

#include <QDeadlineTimer>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// A slice of a pass takes at most this long: the window keeps painting and taking input.
constexpr int SliceMs = 20;
// It looks at the clock every this many datagrams, a small part of a slice.
constexpr int DeadlineCheck = 64;

} // namespace

LineFilter::LineFilter(LogHub &hub, QObject *parent)
    : QObject(parent)
    , m_model(hub.model())
    , m_next(m_model.document())
{
    // New lines go in where the last line begins: the place stays before them.
    m_next.setKeepPositionOnInsert(true);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LineFilter::applySlice);
    connect(&hub, &LogHub::aboutToMoveOut, this, &LineFilter::countHiddenMovingOut);
}

void LineFilter::apply()
{
    m_next.movePosition(QTextCursor::Start);
    m_lossPending = false;
    m_hidden = 0;
    applySlice();
}

void LineFilter::reset()
{
    m_timer.stop();
    m_next.movePosition(QTextCursor::Start);
    m_lossPending = false;
    m_hidden = 0;
}

void LineFilter::applySlice()
{
    const QDeadlineTimer sliceEnd(SliceMs);
    Changed changedLines;
    QTextBlock block = m_next.block();
    std::optional<qint64> index = m_model.lines().of(block);
    for (int datagrams = 0; block.isValid(); ++datagrams) {
        if (datagrams % DeadlineCheck == DeadlineCheck - 1 && sliceEnd.hasExpired())
            break;
        block = filterDatagram(block, index, changedLines);
    }
    markDirty(changedLines);
    QTextDocument *document = m_model.document();
    if (block.isValid()) {
        m_next.setPosition(block.position());
        m_timer.start(0);
    } else {
        m_next.setPosition(document->lastBlock().position());
    }
    emit changed();
}

qint64 LineFilter::filterNew()
{
    QTextDocument *document = m_model.document();
    if (isApplying())
        return 0; // the pass gets to them
    const int firstNew = m_next.blockNumber();
    if (m_rules.isEmpty()) {
        m_next.setPosition(document->lastBlock().position());
        return m_next.blockNumber() - firstNew;
    }
    const qint64 hiddenBefore = m_hidden;
    Changed changedLines;
    QTextBlock block = m_next.block();
    std::optional<qint64> index = m_model.lines().of(block);
    while (block.isValid())
        block = filterDatagram(block, index, changedLines);
    markDirty(changedLines);
    m_next.setPosition(document->lastBlock().position());
    const qint64 added = m_next.blockNumber() - firstNew;
    if (m_hidden != hiddenBefore)
        emit changed();
    return added - (m_hidden - hiddenBefore);
}

void LineFilter::markDirty(const Changed &changed)
{
    if (!changed.first.isValid())
        return;
    const int from = changed.first.position();
    const int to = changed.last.position() + changed.last.length();
    m_model.document()->markContentsDirty(from, to - from);
}

QTextBlock LineFilter::filterDatagram(const QTextBlock &first, std::optional<qint64> &index,
                                      Changed &changed)
{
    const LineArrivals &lines = m_model.lines();
    const std::optional<qint64> datagram = index;
    m_blocks.clear();
    m_blocks.push_back(first);
    QTextBlock after = first.next();
    index = lines.of(after);
    while (datagram && after.isValid() && index == datagram) {
        m_blocks.push_back(after);
        after = after.next();
        index = lines.of(after);
    }
    // The open last line, empty so far, is not a line of the log yet.
    const bool openLine = !after.isValid() && first.length() <= 1;
    bool show = true;
    if (!m_rules.isEmpty() && !openLine) {
        m_texts.resize(m_blocks.size());
        for (std::size_t i = 0; i < m_blocks.size(); ++i)
            m_texts[i] = m_blocks[i].text();
        std::optional<ArrivalEntry> entry;
        if (datagram && m_rules.needsEntry())
            entry = m_model.arrivals().at(*datagram); // none where not kept: as a typed line
        show = m_rules.shows(entry, m_texts);
    }
    for (QTextBlock block : m_blocks) {
        if (block.isVisible() == show)
            continue;
        block.setVisible(show);
        if (!changed.first.isValid())
            changed.first = block;
        changed.last = block;
    }
    if (!show)
        m_hidden += qint64(m_blocks.size());

    const bool ownLoss = datagram && m_model.arrivals().totalDropped() > 0
        && m_model.arrivals().dropsWithin(*datagram, *datagram);
    if (!show) {
        m_lossPending = m_lossPending || ownLoss;
    } else if (!openLine) {
        setHiddenLoss(first, m_lossPending && !ownLoss);
        m_lossPending = false;
    }
    return after;
}

void LineFilter::setHiddenLoss(const QTextBlock &line, bool loss)
{
    if (line.blockFormat().boolProperty(LogText::HiddenLossProperty) == loss)
        return;
    QTextBlockFormat format = line.blockFormat();
    if (loss)
        format.setProperty(LogText::HiddenLossProperty, true);
    else
        format.clearProperty(LogText::HiddenLossProperty);
    m_model.setLineFormat(line, format);
}

bool LineFilter::followsLoss(const QTextBlock &line) const
{
    if (line.blockFormat().boolProperty(LogText::HiddenLossProperty))
        return true;
    const std::optional<qint64> index = m_model.lines().firstLineArrival(line);
    return index && m_model.arrivals().dropsWithin(*index, *index);
}

void LineFilter::countHiddenMovingOut(const QTextBlock &firstKept)
{
    if (m_hidden == 0)
        return;
    // Only the lines counted so far: a pass going on has counted those before its place.
    const int counted = m_next.position();
    for (QTextBlock block = m_model.document()->firstBlock();
         block != firstKept && block.position() < counted; block = block.next()) {
        if (!block.isVisible())
            --m_hidden;
    }
}
