// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SocketReader.h"

#include <QMutexLocker>

#include <array>
#include <cerrno>

#include <sys/socket.h>

namespace {

// One system call takes up to this many datagrams; each buffer holds the largest IPv4 payload
// (65,507 bytes) whole. Only the pages a datagram touches become resident.
constexpr int BatchSize = 64;
constexpr int BufferSize = 65536;

} // namespace

SocketReader::SocketReader(int socket, QObject *parent)
    : QThread(parent)
    , m_socket(socket)
{
    setObjectName(QStringLiteral("SocketReader"));
    m_clock.start();
}

SocketReader::~SocketReader()
{
    m_stopping = true;
    // Wakes a receive that is waiting for the next datagram: it returns with nothing.
    ::shutdown(m_socket, SHUT_RD);
    wait();
}

bool SocketReader::takeAll(std::deque<DatagramBatch> &into)
{
    QMutexLocker locker(&m_mutex);
    if (m_arrived.empty())
        return false;
    if (into.empty()) {
        into.swap(m_arrived);
    } else {
        std::move(m_arrived.begin(), m_arrived.end(), std::back_inserter(into));
        m_arrived.clear();
    }
    return true;
}

bool SocketReader::hasArrivals()
{
    QMutexLocker locker(&m_mutex);
    return !m_arrived.empty();
}

void SocketReader::release(qsizetype bytes)
{
    --m_heldDatagrams;
    m_heldBytes -= bytes;
}

bool SocketReader::isFull() const
{
    return m_heldDatagrams >= MaxHeldDatagrams || m_heldBytes >= MaxHeldBytes;
}

void SocketReader::run()
{
    std::vector<char> buffers(std::size_t(BatchSize) * BufferSize);
    std::array<iovec, BatchSize> vectors {};
    std::array<mmsghdr, BatchSize> messages {};
    for (int i = 0; i < BatchSize; ++i) {
        vectors[i] = { buffers.data() + std::size_t(i) * BufferSize, BufferSize };
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }

    while (!m_stopping) {
        if (isFull()) {
            msleep(5);
            continue;
        }

        // Normally waits for one datagram, then takes whatever else is already there. In a flood
        // it polls instead: a thread woken from a wait goes to whichever processor the scheduler
        // picks, which on a busy machine can be the sender's, and it then waits there for longer
        // than the kernel's buffer lasts.
        const int flags = inFlood() ? MSG_DONTWAIT : MSG_WAITFORONE;
        const int count = recvmmsg(m_socket, messages.data(), BatchSize, flags, nullptr);
        if (m_stopping)
            return;
        if (count == 0)
            continue;
        if (count > 0)
            m_flood.count(m_clock.nsecsElapsed(), count);
        DatagramBatch batch;
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            batch.error = errno;
        } else {
            qsizetype bytes = 0;
            for (int i = 0; i < count; ++i)
                bytes += qsizetype(messages[i].msg_len);
            batch.payloads.reserve(bytes);
            batch.ends.reserve(std::size_t(count));
            for (int i = 0; i < count; ++i) {
                batch.payloads.append(buffers.data() + std::size_t(i) * BufferSize,
                                      qsizetype(messages[i].msg_len));
                batch.ends.push_back(batch.payloads.size());
            }
            m_heldBytes += bytes;
        }
        m_heldDatagrams += batch.count();

        bool wasEmpty = false;
        {
            QMutexLocker locker(&m_mutex);
            wasEmpty = m_arrived.empty();
            m_arrived.push_back(std::move(batch));
        }
        if (wasEmpty)
            emit datagramsWaiting();
        if (count < 0)
            return; // the error is delivered in its place; a broken socket is not read again
    }
}
