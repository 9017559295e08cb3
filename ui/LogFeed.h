// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGFEED_H
#define HARKLINE_LOGFEED_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

class LogModel;
class QWidget;

// Lines that arrived wait here until they go into the log's document: at most once a frame, many
// lines in one insertion, so that a flood costs one layout and one repaint a frame. The first line
// after a quiet spell goes in at once. Between batches the feed asks whether to leave the
// processor to the endpoint's reader, and if so inserts the rest a frame later; a pass that has
// taken a frame leaves the rest to the next turn of the event loop.
class LogFeed : public QObject
{
    Q_OBJECT

public:
    // 'view' shows the document: its screen sets the frame.
    LogFeed(LogModel &model, QWidget *view);

    // Adds the payload and a carriage return and line feed, tied to datagram 'index'.
    void append(QStringView payload, qint64 index);
    enum class Insert { Yielding, Everything };
    void insert(Insert how);
    // What waits, as log text.
    QString pendingText() const;
    qsizetype pendingCharacters() const;
    void clear();
    // Asked between batches; while it holds, the feed leaves the processor.
    void setYieldCondition(std::function<bool()> yieldNow) { m_yieldNow = std::move(yieldNow); }

signals:
    void aboutToInsert();
    void inserted(qint64 lines);

private:
    // Whole lines, and the datagram of each line end in them.
    struct Batch
    {
        QString text;
        std::vector<qint64> lineArrivals;
    };
    int frameMs() const;

    LogModel &m_model;
    QWidget *m_view;
    std::deque<Batch> m_batches;
    // Inserted batches, emptied, their room kept: a flood would otherwise allocate and free it
    // every frame.
    std::vector<Batch> m_spare;
    QTimer m_timer;
    QElapsedTimer m_sinceInsert;
    std::function<bool()> m_yieldNow;
};

#endif // HARKLINE_LOGFEED_H
