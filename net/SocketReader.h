// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SOCKETREADER_H
#define HARKLINE_SOCKETREADER_H

#include "Arrival.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <deque>
#include <vector>

// The datagrams of one receiving system call, in one allocation for their payloads: a flood costs
// a few allocations per thousand datagrams, not one each.
struct DatagramBatch
{
    QByteArray payloads; // every payload, one after another
    std::vector<qsizetype> ends; // where each payload ends in 'payloads'
    std::vector<Arrival> arrivals; // one for each payload
    int error = 0; // errno of a failed receive that came after them

    // The datagrams, plus the failed receive as one more entry in its place.
    qsizetype count() const { return qsizetype(ends.size()) + (error != 0 ? 1 : 0); }
    bool isError(qsizetype i) const { return i == qsizetype(ends.size()); }
    QByteArrayView payload(qsizetype i) const
    {
        if (isError(i))
            return {};
        const qsizetype begin = i == 0 ? 0 : ends[std::size_t(i) - 1];
        return QByteArrayView(payloads).sliced(begin, ends[std::size_t(i)] - begin);
    }
};

// Drains a bound UDP socket on its own thread, so that datagrams keep being taken from the
// kernel (which keeps only a few hundred per socket) while the user-interface thread repaints,
// shows a message box or runs a slow handler. What it takes waits here until fetched. It never
// drops a datagram itself: when its store is full it stops reading, and the kernel's drop counter,
// which every datagram carries, tells how many the system dropped meanwhile.
class SocketReader : public QThread
{
    Q_OBJECT

public:
    // Enough for a long flood against a stalled window.
    static constexpr qint64 DefaultMaxHeldDatagrams = 1'000'000;
    static constexpr qint64 MaxHeldBytes = qint64(256) * 1024 * 1024;

    // Reads from the bound 'socket', which the caller closes after this is destroyed, keeping at
    // most 'maxHeldDatagrams'; 'wakeFd' is an eventfd that this takes over.
    SocketReader(int socket, int wakeFd, qint64 maxHeldDatagrams = DefaultMaxHeldDatagrams,
                 QObject *parent = nullptr);
    ~SocketReader() override;

    // Moves every batch read so far, oldest first, to the end of 'into'; false when there was
    // none.
    bool takeAll(std::deque<DatagramBatch> &into);
    bool hasArrivals();
    // A datagram of 'bytes' has been fetched or dropped, and no longer counts against the limits.
    void release(qsizetype bytes);

    // True while datagrams pile up in the kernel because the reader does not get a processor to
    // take them: an eighth of the socket's buffer is in use. A thread of the program that keeps
    // the processor then makes the kernel drop datagrams; it should let the reader run.
    bool needsProcessor() const;

    // Asks for one datagramsWaiting() when datagrams next arrive. Until then the reader does not
    // wake the window's thread, which will look anyway.
    void wantNews() { m_newsWanted = true; }

signals:
    // Emitted on the reader's thread when datagrams arrive, once for each wantNews() and for the
    // first datagrams.
    void datagramsWaiting();
    // After a backlog, the number of datagrams the system has dropped on this socket so far.
    void systemDropsCounted(quint32 total);

protected:
    void run() override;

private:
    bool isFull() const;
    void noteDrops();
    void wake();
    // Sleeps until the store has room again or the reader is stopping.
    void waitForRoom();
    // Blocks until the socket is readable or the reader is woken; false when woken.
    bool waitForDatagrams();

    const int m_socket;
    const int m_wakeFd;
    const qint64 m_maxHeldDatagrams;
    quint32 m_noted = 0; // the drops last told of
    std::atomic<bool> m_stopping = false;
    std::atomic<bool> m_waitingForRoom = false;
    std::atomic<bool> m_newsWanted = true;
    std::atomic<qint64> m_heldDatagrams = 0;
    std::atomic<qint64> m_heldBytes = 0;

    QMutex m_mutex;
    std::deque<DatagramBatch> m_arrived; // guarded by m_mutex
};

#endif // HARKLINE_SOCKETREADER_H
