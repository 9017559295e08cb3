// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineArrivals.h"

#include "LogText.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace {

constexpr int NoArrival = -1;
// A block state holds an index modulo this: every int a state can be that is not NoArrival.
constexpr qint64 StateRange = qint64(1) << 31;

struct WholeIndex : QTextBlockUserData
{
    explicit WholeIndex(qint64 index)
        : index(index)
    { }
    qint64 index;
};

int stateOf(qint64 index)
{
    return int(index % StateRange);
}

} // namespace

LineArrivals::LineArrivals(QTextDocument *document, std::function<qint64()> newest)
    : m_document(document)
    , m_newest(std::move(newest))
{
    m_changes = QObject::connect(document, &QTextDocument::contentsChange, document,
                                 [this](int position, int removed, int added) {
                                     if (m_programChanges > 0)
                                         return;
                                     m_edited = true;
                                     repair(position, removed, added);
                                 });
}

LineArrivals::~LineArrivals()
{
    QObject::disconnect(m_changes);
}

void LineArrivals::tag(QTextBlock block, std::optional<qint64> index)
{
    if (!index) {
        block.setUserState(NoArrival);
        block.setUserData(nullptr);
        return;
    }
    if (*index >= m_nextSweep) {
        m_nextSweep = *index + SweepStep;
        giveOldLinesTheirWholeIndex();
    }
    block.setUserState(stateOf(*index));
    block.setUserData(m_newest() - *index >= SweepStep ? new WholeIndex(*index) : nullptr);
}

std::optional<qint64> LineArrivals::tagged(const QTextBlock &block) const
{
    if (const auto *whole = static_cast<const WholeIndex *>(block.userData()))
        return whole->index;
    const int state = block.userState();
    if (state < 0)
        return std::nullopt;
    const qint64 newest = m_newest();
    return newest - (newest - state) % StateRange;
}

LineArrivals::Received LineArrivals::receivedIn(const QTextBlock &block)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (LogText::isTyped(fragment))
            continue;
        const QVariant stamped = fragment.charFormat().property(LogText::ArrivalProperty);
        return { true,
                 stamped.isValid() ? std::optional<qint64>(stamped.toLongLong()) : std::nullopt };
    }
    return {};
}

std::optional<qint64> LineArrivals::of(const QTextBlock &block) const
{
    if (!block.isValid())
        return std::nullopt;
    const Received received = receivedIn(block);
    if (received.stamp)
        return received.stamp;
    if (!received.any && block.length() > 1)
        return std::nullopt; // the user typed it all
    return tagged(block);
}

std::optional<qint64> LineArrivals::untouched(const QTextBlock &block) const
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (format.hasProperty(LogText::TypedProperty)
            || format.hasProperty(LogText::ArrivalProperty))
            return std::nullopt;
    }
    return tagged(block);
}

std::optional<qint64> LineArrivals::firstLineArrival(const QTextBlock &block) const
{
    const std::optional<qint64> index = of(block);
    if (index && of(block.previous()) == index)
        return std::nullopt;
    return index;
}

QTextBlock LineArrivals::firstLineFrom(qint64 index) const
{
    // Lines come in the order their datagrams arrived, and the user's edits keep that order: what
    // the user moves becomes typed text. So the lines with a datagram are sorted by it.
    int low = 0;
    int high = m_document->blockCount();
    QTextBlock found;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        QTextBlock block = m_document->findBlockByNumber(middle);
        std::optional<qint64> arrival;
        while (block.isValid() && block.blockNumber() < high && !(arrival = of(block)))
            block = block.next();
        if (!arrival) {
            high = middle;
        } else if (*arrival >= index) {
            found = block;
            high = middle;
        } else {
            low = block.blockNumber() + 1;
        }
    }
    return found;
}

void LineArrivals::prepareEdit(int from, int to)
{
    const QTextBlock start = m_document->findBlock(from);
    const QTextBlock end = m_document->findBlock(to);
    for (const QTextBlock &block : { start.previous(), start, end, end.next() })
        stamp(block);
}

void LineArrivals::stamp(const QTextBlock &block)
{
    const Received received = receivedIn(block);
    if (!received.any || received.stamp)
        return;
    const std::optional<qint64> index = tagged(block);
    if (!index)
        return;
    std::vector<std::pair<int, int>> ranges;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (!LogText::isTyped(it.fragment()))
            ranges.emplace_back(it.fragment().position(), it.fragment().length());
    }
    QTextCharFormat format;
    format.setProperty(LogText::ArrivalProperty, *index);
    const ProgramChange change(*this);
    QTextCursor cursor(m_document);
    for (const auto &[position, length] : ranges) {
        cursor.setPosition(position);
        cursor.setPosition(position + length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
}

void LineArrivals::repair(int position, int removed, int added)
{
    const QTextBlock first = m_document->findBlock(position);
    const QTextBlock last = m_document->findBlock(position + added);
    // Qt leaves the state of a line split by the edit on its first half.
    const std::optional<qint64> carried = tagged(first);
    std::vector<std::pair<QTextBlock, std::optional<qint64>>> arrivals;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const Received received = receivedIn(block);
        if (received.stamp) {
            arrivals.emplace_back(block, received.stamp);
        } else if (received.any) {
            const std::optional<qint64> own = block == first ? carried : tagged(block);
            arrivals.emplace_back(block, own ? own : carried);
        } else if (block.length() > 1) {
            arrivals.emplace_back(block, std::nullopt); // typed only
        } else {
            arrivals.emplace_back(block, tagged(block)); // empty: see below
        }
        if (block == last)
            break;
    }
    // An empty first line is one the user emptied, or one whose text the edit moved down; any
    // other empty line is the line of an empty datagram.
    const bool movedDown = carried
        && std::any_of(arrivals.begin() + 1, arrivals.end(),
                       [&](const auto &line) { return line.second == carried; });
    if (first.length() <= 1 && (removed > 0 || movedDown))
        arrivals.front().second = std::nullopt;
    for (const auto &[block, arrival] : arrivals) {
        if (arrival != tagged(block))
            tag(block, arrival);
    }
}

void LineArrivals::giveOldLinesTheirWholeIndex()
{
    const qint64 newest = m_newest();
    for (QTextBlock block = m_document->firstBlock(); block.isValid(); block = block.next()) {
        if (block.userData() || block.userState() < 0)
            continue;
        const std::optional<qint64> index = tagged(block);
        if (newest - *index < SweepStep)
            break; // the lines after it are younger still
        block.setUserData(new WholeIndex(*index));
    }
}
