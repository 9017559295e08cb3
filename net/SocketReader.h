// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SOCKETREADER_H
#define HARKLINE_SOCKETREADER_H

#include <QByteArray>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <deque>

struct ReceivedDatagram
{
    QByteArray payload;
    int error = 0; // errno of a failed receive, in its place among the datagrams
};

// Drains a bound UDP socket on its own thread, so that datagrams keep being taken from the
// kernel (which keeps only a few hundred per socket) while the user-interface thread repaints,
// shows a message box or runs a slow handler. What it takes waits here until fetched.
class SocketReader : public QThread
{
    Q_OBJECT

public:
    // Enough for a long flood against a stalled window; beyond it the reader pauses and the kernel
    // buffer takes the rest.
    static constexpr qint64 MaxHeldDatagrams = 1'000'000;
    static constexpr qint64 MaxHeldBytes = 256 * 1024 * 1024;

    // Reads from the bound, non-blocking 'socket', which the caller closes after this is destroyed.
    explicit SocketReader(int socket, QObject *parent = nullptr);
    ~SocketReader() override;

    // Moves every datagram read so far, oldest first, to the end of 'into'; false when there was
    // none.
    bool takeAll(std::deque<ReceivedDatagram> &into);
    bool hasArrivals();
    // A datagram of 'bytes' has been fetched or dropped, and no longer counts against the limits.
    void release(qsizetype bytes);

signals:
    // Emitted on the reader's thread when datagrams arrive and none were waiting to be taken.
    void datagramsWaiting();

protected:
    void run() override;

private:
    bool isFull() const;
    // Blocks until the socket is readable or the reader is told to stop; false on stop.
    bool waitForSocket(int timeoutMs);

    const int m_socket;
    const int m_wake; // an eventfd that ends the wait when the reader must stop
    std::atomic<bool> m_stopping = false;
    std::atomic<qint64> m_heldDatagrams = 0;
    std::atomic<qint64> m_heldBytes = 0;

    QMutex m_mutex;
    std::deque<ReceivedDatagram> m_arrived; // guarded by m_mutex
};

#endif // HARKLINE_SOCKETREADER_H
