// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogFeed.h"

#include "LogModel.h"

#include <QDeadlineTimer>
#include <QScreen>
#include <QWidget>

#include <numeric>

namespace {

// A batch closes at this many characters: small enough that the reader gets the processor soon
// when it needs it, large enough that a flood goes in a few insertions a frame.
constexpr qsizetype BatchSize = qsizetype(16) * 1024;
// Spare batches kept: a frame's worth at 50,000 datagrams a second.
constexpr std::size_t SpareBatches = 8;
// Where the screen does not say its refresh rate.
constexpr int DefaultFrameMs = 16;

// Qt 6.4 counts -1 line ends in an empty payload, which left the line of an empty datagram
// without its datagram.
qsizetype lineEndsIn(QStringView payload)
{
    // Qt's count is -1, not 0, in a text shorter than what it counts.
    return payload.size() < 2 ? 0 : payload.count(QLatin1String("\r\n"));
}

} // namespace

LogFeed::LogFeed(LogModel &model, QWidget *view)
    : QObject(view)
    , m_model(model)
    , m_view(view)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { insert(Insert::Yielding); });
}

void LogFeed::append(QStringView payload, qint64 index)
{
    if (!m_timer.isActive()) {
        const qint64 sinceInsert = m_sinceInsert.isValid() ? m_sinceInsert.elapsed() : frameMs();
        m_timer.start(int(qMax<qint64>(0, frameMs() - sinceInsert)));
    }
    if (m_batches.empty() || m_batches.back().text.size() >= BatchSize) {
        if (m_spare.empty()) {
            m_batches.emplace_back();
        } else {
            m_batches.push_back(std::move(m_spare.back()));
            m_spare.pop_back();
        }
    }
    Batch &batch = m_batches.back();
    batch.text += payload;
    batch.text += QLatin1String("\r\n");
    // Each line end closes a line of the document that shows this datagram.
    batch.lineArrivals.insert(batch.lineArrivals.end(), std::size_t(lineEndsIn(payload) + 1),
                              index);
}

void LogFeed::insert(Insert how)
{
    if (m_batches.empty())
        return;
    emit aboutToInsert();
    m_sinceInsert.start();
    // A pass takes about a frame at most, so that the window keeps painting and taking input
    // while a backlog goes in: now and then a batch costs far more than the others, when the
    // document reclaims the room of lines that moved out.
    const QDeadlineTimer passEnd(frameMs());
    qint64 lines = 0;
    while (!m_batches.empty()) {
        if (how == Insert::Yielding && m_yieldNow && m_yieldNow()) {
            m_timer.start(frameMs());
            break;
        }
        if (how == Insert::Yielding && lines > 0 && passEnd.hasExpired()) {
            m_timer.start(0);
            break;
        }
        Batch batch = std::move(m_batches.front());
        m_batches.pop_front();
        m_model.appendLines(batch.text, batch.lineArrivals);
        lines += qint64(batch.lineArrivals.size());
        if (m_spare.size() < SpareBatches) {
            batch.text.resize(0); // keeps its room
            batch.lineArrivals.clear();
            m_spare.push_back(std::move(batch));
        }
    }
    emit inserted(lines);
}

QString LogFeed::pendingText() const
{
    QString text;
    for (const Batch &batch : m_batches)
        text += batch.text;
    return text;
}

qsizetype LogFeed::pendingCharacters() const
{
    return std::accumulate(
        m_batches.begin(), m_batches.end(), qsizetype(0),
        [](qsizetype sum, const Batch &batch) { return sum + batch.text.size(); });
}

void LogFeed::clear()
{
    m_batches.clear();
    m_timer.stop();
}

int LogFeed::frameMs() const
{
    const qreal rate = m_view->screen() ? m_view->screen()->refreshRate() : 0;
    return rate >= 1 ? qMax(1, qRound(1000 / rate)) : DefaultFrameMs;
}
