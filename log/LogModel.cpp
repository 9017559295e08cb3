// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogModel.h"

#include "ArrivalText.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// At most this many characters, or lines, move out at a time, so that no move is long.
constexpr int MoveStep = 1024 * 1024;
constexpr int MoveLines = 16 * 1024;
// Once over the limit, lines move out until the document is this share of it below, so that a
// move is not made for every line that arrives: moves are as many lines as in a box four times as
// large moving out a sixty-fourth at a time, which with a view rule on costs the same.
constexpr int SlackShare = 16;

} // namespace

LogModel::LogModel(QTextDocument *document)
    : m_document(document)
    , m_text(document)
    , m_lines(document, [this] { return m_arrivals.size() - 1; })
{ }

void LogModel::appendLines(QStringView logText, const std::vector<qint64> &lineArrivals)
{
    const LineArrivals::ProgramChange change(m_lines);
    QTextCursor end(m_document);
    end.movePosition(QTextCursor::End);
    const int firstLine = end.blockNumber();
    end.insertText(LogText::toDocumentText(logText), QTextCharFormat());
    QTextBlock block = m_document->findBlockByNumber(firstLine);
    for (const qint64 index : lineArrivals) {
        m_lines.tag(block, index);
        block = block.next();
    }
    m_lines.tag(block, std::nullopt); // the new last line, empty so far
    keepWithinLimit();
}

void LogModel::keepWithinLimit()
{
    const auto over = [this] {
        return m_document->characterCount() > m_limit.characters
            || m_document->blockCount() > m_limit.lines;
    };
    while (over()) {
        const qsizetype charactersOver =
            m_document->characterCount() - (m_limit.characters - m_limit.characters / SlackShare);
        const int linesOver =
            m_document->blockCount() - (m_limit.lines - m_limit.lines / SlackShare);
        const int byCharacters = charactersOver <= 0
            ? 0
            : m_document->findBlock(int(std::min<qsizetype>(charactersOver, MoveStep)))
                  .next()
                  .blockNumber();
        const int firstKept = std::max(byCharacters, std::min(linesOver, MoveLines));
        QTextBlock cut = m_document->findBlockByNumber(firstKept);
        if (firstKept <= 0 || !cut.isValid())
            return; // the last line alone is longer than the limit: it stays
        // Whole datagrams, so that they can be kept aside as the record holds them.
        while (m_lines.of(cut) && m_lines.of(cut) == m_lines.of(cut.previous()))
            cut = cut.next();
        if (!cut.isValid())
            return;
        moveOut(cut);
    }
}

// The lines before 'firstKept' if they are whole datagrams, one after another, just as they
// arrived: the first and the last of them, and their length in the log's text.
std::optional<LogModel::Received> LogModel::asReceived(const QTextBlock &firstKept) const
{
    std::optional<Received> range;
    qint64 lineCount = 0; // of the datagram range->last so far,
    qint64 length = 0; // and their length in the document
    // A payload's line ends are one character each in the document, two in the log's text.
    const auto whole = [&] {
        const std::optional<ArrivalEntry> entry = m_arrivals.at(range->last);
        return entry && entry->bytes == length + lineCount - 2;
    };
    for (QTextBlock block = m_document->firstBlock(); block != firstKept; block = block.next()) {
        const std::optional<qint64> index = m_lines.untouched(block);
        if (!index)
            return std::nullopt;
        if (!range) {
            range = Received { *index, *index, 0 };
        } else if (*index == range->last + 1) {
            if (!whole())
                return std::nullopt;
            range->characters += length + lineCount;
            range->last = *index;
            lineCount = 0;
            length = 0;
        } else if (*index != range->last) {
            return std::nullopt;
        }
        ++lineCount;
        length += block.length();
    }
    if (!range || !whole())
        return std::nullopt;
    range->characters += length + lineCount;
    return range;
}

void LogModel::moveOut(const QTextBlock &firstKept)
{
    const LineArrivals::ProgramChange change(m_lines);
    if (m_beforeMoveOut)
        m_beforeMoveOut(firstKept);
    if (const std::optional<Received> received = asReceived(firstKept)) {
        m_archive.appendReceived(received->first, received->last, firstKept.blockNumber(),
                                 received->characters);
    } else {
        m_archive.append(m_text.text(0, firstKept.position()), firstKept.blockNumber());
    }
    QTextCursor oldest(m_document);
    oldest.setPosition(firstKept.position(), QTextCursor::KeepAnchor);
    oldest.removeSelectedText(); // the first line kept keeps its state and data
}

void LogModel::setLineFormat(const QTextBlock &line, const QTextBlockFormat &format)
{
    const LineArrivals::ProgramChange change(m_lines);
    QTextCursor(line).setBlockFormat(format);
}

QString LogModel::detailsOf(const QTextBlock &line) const
{
    const std::optional<qint64> index = m_lines.of(line);
    if (!index)
        return {};
    QString why;
    const std::optional<ArrivalEntry> entry = m_arrivals.at(*index, &why);
    if (!entry)
        return QStringLiteral("The record of this datagram is gone: %1.").arg(why);
    const SyslogMessage message =
        SyslogMessage::decode(m_arrivals.payload(*index), entry->arrival.timeNs);
    return arrivalDetails(*entry, &message);
}

LogSnapshot LogModel::snapshot() const
{
    LogSnapshot snapshot(m_archive, m_arrivals.snapshot());
    addDocumentTo(snapshot);
    const QTextBlock last = m_document->lastBlock();
    snapshot.setLineCount(m_archive.lineCount() + m_document->blockCount()
                          - (last.length() <= 1 ? 1 : 0));
    return snapshot;
}

void LogModel::addDocumentTo(LogSnapshot &snapshot) const
{
    const int end = m_document->characterCount() - 1;
    const QTextBlock first = m_document->firstBlock();
    // Nobody changed the lines: they are the datagrams from the first line's on, as they arrived
    // and as the record keeps them.
    const std::optional<qint64> from = m_lines.of(first);
    const std::optional<qint64> to = m_lines.of(m_document->lastBlock().previous());
    if (!m_text.hasTyped() && !m_lines.wasEdited()
        && (!from || !to || m_arrivals.keptWithin(*from, *to))) {
        if (from && to)
            snapshot.addReceived(*from, *to, end + m_document->blockCount() - 1);
        return;
    }
    // Line by line: each datagram whose lines are whole and untouched from the record, the rest
    // (or a datagram not kept) as the text it now is.
    Received range { -1, -1, 0 };
    int textFrom = -1;
    const auto flushRange = [&] {
        if (range.first >= 0)
            snapshot.addReceived(range.first, range.last, range.characters);
        range = { -1, -1, 0 };
    };
    const auto flushText = [&](int to) {
        if (textFrom >= 0 && to > textFrom)
            snapshot.addText(m_text.text(textFrom, to));
        textFrom = -1;
    };
    for (QTextBlock block = first; block.isValid();) {
        const std::optional<qint64> index = m_lines.untouched(block);
        QTextBlock next = block.next();
        qint64 blocks = 1;
        qint64 length = block.length();
        while (index && next.isValid() && m_lines.untouched(next) == index) {
            ++blocks;
            length += next.length();
            next = next.next();
        }
        const std::optional<ArrivalEntry> entry =
            index && next.isValid() ? m_arrivals.at(*index) : std::nullopt;
        // Line ends are one character in the document, two in the log text.
        if (entry && entry->bytes == length + blocks - 2) {
            flushText(block.position());
            if (range.first >= 0 && *index != range.last + 1)
                flushRange();
            if (range.first < 0)
                range.first = *index;
            range.last = *index;
            range.characters += length + blocks;
        } else {
            flushRange();
            if (textFrom < 0)
                textFrom = block.position();
        }
        block = next;
    }
    flushRange();
    flushText(end);
}

void LogModel::setText(QStringView text)
{
    const LineArrivals::ProgramChange change(m_lines);
    m_document->clear();
    m_text.reset();
    m_archive.clear();
    m_lines.forgetEdits();
    QTextCursor cursor(m_document);
    m_text.insertTyped(cursor, text);
    keepWithinLimit();
}

void LogModel::clear()
{
    setText({});
    m_arrivals.clear();
    m_lines.restart();
}
