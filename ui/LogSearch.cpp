// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogSearch.h"

#include "CaseRule.h"

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

QList<int> LogSearch::matchesIn(const QTextBlock &block, const QString &needle)
{
    QList<int> positions;
    if (needle.isEmpty())
        return positions;
    const QString text = block.text();
    const Qt::CaseSensitivity cs = caseRuleOf(needle);
    for (qsizetype at = text.indexOf(needle, 0, cs); at >= 0;
         at = text.indexOf(needle, at + needle.size(), cs))
        positions << block.position() + int(at);
    return positions;
}

void LogSearch::find(const QString &needle, int position, bool backward)
{
    m_needle = needle;
    m_case = caseRuleOf(needle);
    m_backward = backward;
    m_next = QTextCursor(m_document);
    m_next.setPosition(std::clamp(position, 0, m_document->characterCount() - 1));
    m_origin = m_next;
    m_wrapped = false;
    m_timer.start(0);
}

void LogSearch::cancel()
{
    m_timer.stop();
}

qsizetype LogSearch::matchIn(const QTextBlock &block, qsizetype place) const
{
    const QString text = block.text();
    if (!m_backward)
        return text.indexOf(m_needle, place, m_case);
    // A match must end before the place.
    return place < m_needle.size() ? -1
                                   : text.lastIndexOf(m_needle, place - m_needle.size(), m_case);
}

// The slice walks blocks, and puts the cursor where it stopped only at its end: placing a cursor
// lays its line out, and the layout stays, so a cursor moved line by line would lay out the whole
// log.
void LogSearch::searchSlice()
{
    const QDeadlineTimer sliceEnd(SliceMs);
    QTextBlock block = m_next.block();
    qsizetype place = m_next.positionInBlock();
    const int origin = m_origin.blockNumber();
    while (!sliceEnd.hasExpired()) {
        const qsizetype at = block.isVisible() ? matchIn(block, place) : -1;
        if (at >= 0) {
            emit found(block.position() + int(at), int(m_needle.size()), m_wrapped);
            return;
        }
        // Round the end of the document once, then up to the line where the search began.
        const bool reachedOrigin =
            m_backward ? block.blockNumber() <= origin : block.blockNumber() >= origin;
        QTextBlock after = m_backward ? block.previous() : block.next();
        if (m_wrapped && (reachedOrigin || !after.isValid())) {
            emit notFound();
            return;
        }
        if (!after.isValid()) {
            after = m_backward ? m_document->lastBlock() : m_document->firstBlock();
            m_wrapped = true;
        }
        block = after;
        place = m_backward ? block.length() - 1 : 0;
    }
    m_next.setPosition(block.position() + int(place));
    m_timer.start(0);
}
