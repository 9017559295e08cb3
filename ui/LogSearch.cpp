// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogSearch.h"

#include <QDeadlineTimer>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

// A slice of the search takes at most this long, well within a frame.
constexpr int SliceMs = 5;

} // namespace

LogSearch::LogSearch(QTextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LogSearch::searchSlice);
}

Qt::CaseSensitivity LogSearch::caseSensitivity(const QString &needle)
{
    return std::any_of(needle.cbegin(), needle.cend(), [](QChar c) { return c.isUpper(); })
        ? Qt::CaseSensitive
        : Qt::CaseInsensitive;
}

QList<int> LogSearch::matchesIn(const QTextBlock &block, const QString &needle)
{
    QList<int> positions;
    if (needle.isEmpty())
        return positions;
    const QString text = block.text();
    const Qt::CaseSensitivity cs = caseSensitivity(needle);
    for (qsizetype at = text.indexOf(needle, 0, cs); at >= 0;
         at = text.indexOf(needle, at + needle.size(), cs))
        positions << block.position() + int(at);
    return positions;
}

void LogSearch::find(const QString &needle, int position, bool backward)
{
    m_needle = needle;
    m_case = caseSensitivity(needle);
    m_backward = backward;
    const QTextBlock start =
        m_document->findBlock(std::clamp(position, 0, m_document->characterCount() - 1));
    m_block = start.blockNumber();
    m_offset = position - start.position();
    // Every block once, and the start block a second time for the part before the start.
    m_blocksLeft = m_document->blockCount() + 1;
    m_wrapped = false;
    m_timer.start(0);
}

void LogSearch::cancel()
{
    m_timer.stop();
}

void LogSearch::searchSlice()
{
    const QDeadlineTimer sliceEnd(SliceMs);
    QTextBlock block = m_document->findBlockByNumber(m_block);
    while (m_blocksLeft > 0) {
        if (!block.isValid()) {
            // Round the end of the document, once.
            block = m_backward ? m_document->lastBlock() : m_document->firstBlock();
            m_wrapped = true;
        }
        const QString text = block.text();
        qsizetype at = -1;
        if (m_backward) {
            // A match must end before the start position.
            const qsizetype from = m_offset < 0 ? -1 : qsizetype(m_offset) - m_needle.size();
            if (from >= 0 || m_offset < 0)
                at = text.lastIndexOf(m_needle, from, m_case);
        } else {
            at = text.indexOf(m_needle, m_offset < 0 ? 0 : m_offset, m_case);
        }
        if (at >= 0) {
            emit found(block.position() + int(at), int(m_needle.size()), m_wrapped);
            return;
        }
        m_offset = -1;
        --m_blocksLeft;
        block = m_backward ? block.previous() : block.next();
        if (sliceEnd.hasExpired()) {
            m_block = block.isValid() ? block.blockNumber()
                                      : (m_backward ? -1 : m_document->blockCount());
            // findBlockByNumber() gives an invalid block past either end: the wrap above.
            m_timer.start(0);
            return;
        }
    }
    emit notFound();
}
