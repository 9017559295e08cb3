// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGMODEL_H
#define HARKLINE_LOGMODEL_H

#include "ArrivalRecord.h"
#include "LineArrivals.h"
#include "LogArchive.h"
#include "LogSnapshot.h"
#include "LogText.h"

#include <functional>
#include <vector>

class QTextDocument;

// The log behind the log box: its text in a text document, the datagram each line came from,
// every datagram received since Start, and the oldest lines, which move out of the document into
// a compressed archive so that the document's memory stays bounded. The log text is the archive's
// text, then the document's.
class LogModel
{
public:
    // The document holds at most this much; past it, its oldest lines move to the archive.
    struct DocumentLimit
    {
        qsizetype characters;
        int lines;
    };
    // Some 40,000 syslog lines: plenty to scroll and search through in a box of five lines. Not
    // more: now and then the text document copies its whole text to reclaim what was removed from
    // it, and the window's thread waits for that copy, which grows with the document
    // (docs/PERFORMANCE.md). Lines of any length, or none, are bounded either way.
    static constexpr DocumentLimit DefaultLimit { qsizetype(4) * 1024 * 1024, 64 * 1024 };

    explicit LogModel(QTextDocument *document);

    QTextDocument *document() const { return m_document; }
    LogText &text() { return m_text; }
    const LogText &text() const { return m_text; }
    LineArrivals &lines() { return m_lines; }
    const LineArrivals &lines() const { return m_lines; }
    ArrivalRecord &arrivals() { return m_arrivals; }
    const ArrivalRecord &arrivals() const { return m_arrivals; }
    const LogArchive &archive() const { return m_archive; }

    void setDocumentLimit(DocumentLimit limit) { m_limit = limit; }
    // Called before the lines before 'firstKept' move out of the document.
    void setMoveOutObserver(std::function<void(const QTextBlock &firstKept)> observer)
    {
        m_beforeMoveOut = std::move(observer);
    }
    // Appends received lines, 'logText' being whole lines in the log's own form, to the end of
    // the document, each line tied to its datagram: 'lineArrivals' holds one per line end. Moves
    // the oldest lines out as the limit needs.
    void appendLines(QStringView logText, const std::vector<qint64> &lineArrivals);
    // Moves the oldest lines to the archive while the document holds more than its limit.
    void keepWithinLimit();

    // Gives a line a format of its own (a mark, a sign of loss): it changes no text.
    void setLineFormat(const QTextBlock &line, const QTextBlockFormat &format);

    // Everything known of the datagram the line came from, for its tooltip; empty for a line the
    // user typed.
    QString detailsOf(const QTextBlock &line) const;

    // The whole log text as it is now, the archive's first, to read on any thread. Where the
    // user has not changed the lines in the document, it costs no copy of their text.
    LogSnapshot snapshot() const;
    // Makes the log text 'text', as if the user had typed it; the arrivals stay.
    void setText(QStringView text);
    // Empties the log: its text, the archive and the arrivals.
    void clear();

private:
    struct Received
    {
        qint64 first;
        qint64 last;
        qint64 characters; // in the log's text
    };
    std::optional<Received> asReceived(const QTextBlock &firstKept) const;
    // Adds the document's lines to 'snapshot': runs of datagrams as they arrived as references to
    // the record, the rest as text.
    void addDocumentTo(LogSnapshot &snapshot) const;
    void moveOut(const QTextBlock &firstKept);

    QTextDocument *m_document;
    LogText m_text;
    ArrivalRecord m_arrivals;
    LineArrivals m_lines;
    LogArchive m_archive;
    DocumentLimit m_limit = DefaultLimit;
    std::function<void(const QTextBlock &firstKept)> m_beforeMoveOut;
};

#endif // HARKLINE_LOGMODEL_H
