// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SocketReader.h"

#include <QMutexLocker>

#include <array>
#include <cerrno>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One system call takes up to this many datagrams; each buffer holds the largest IPv4 payload
// (65,507 bytes) whole.
constexpr int BatchSize = 32;
constexpr int BufferSize = 65536;

} // namespace

SocketReader::SocketReader(int socket, QObject *parent)
    : QThread(parent)
    , m_socket(socket)
    , m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    setObjectName(QStringLiteral("SocketReader"));
}

SocketReader::~SocketReader()
{
    m_stopping = true;
    if (m_wake >= 0) {
        const eventfd_t one = 1;
        eventfd_write(m_wake, one);
    }
    wait();
    if (m_wake >= 0)
        ::close(m_wake);
}

bool SocketReader::takeAll(std::deque<ReceivedDatagram> &into)
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

bool SocketReader::waitForSocket(int timeoutMs)
{
    std::array<pollfd, 2> fds = { pollfd { m_socket, POLLIN, 0 }, pollfd { m_wake, POLLIN, 0 } };
    // While full, only the stop request is waited for; the socket is looked at again after the
    // timeout.
    const nfds_t count = timeoutMs < 0 ? 2 : 1;
    pollfd *first = timeoutMs < 0 ? &fds[0] : &fds[1];
    if (poll(first, count, timeoutMs) < 0 && errno != EINTR)
        return false;
    return !m_stopping;
}

void SocketReader::run()
{
    if (m_wake < 0)
        return; // no way to be stopped: never start a wait that could not end

    std::vector<char> buffers(std::size_t(BatchSize) * BufferSize);
    std::array<iovec, BatchSize> vectors {};
    std::array<mmsghdr, BatchSize> messages {};
    for (int i = 0; i < BatchSize; ++i) {
        vectors[i] = { buffers.data() + std::size_t(i) * BufferSize, BufferSize };
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }

    std::vector<ReceivedDatagram> batch;
    batch.reserve(BatchSize);
    while (!m_stopping) {
        if (isFull()) {
            if (!waitForSocket(10))
                return;
            continue;
        }

        const int count = recvmmsg(m_socket, messages.data(), BatchSize, MSG_DONTWAIT, nullptr);
        if (count < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error == EAGAIN || error == EWOULDBLOCK) {
                if (!waitForSocket(-1))
                    return;
                continue;
            }
            batch.push_back({ QByteArray(), error });
        }

        qint64 bytes = 0;
        for (int i = 0; i < count; ++i) {
            const auto length = qsizetype(messages[i].msg_len);
            batch.push_back({ QByteArray(buffers.data() + std::size_t(i) * BufferSize, length) });
            bytes += length;
        }
        m_heldDatagrams += qint64(batch.size());
        m_heldBytes += bytes;

        bool wasEmpty = false;
        {
            QMutexLocker locker(&m_mutex);
            wasEmpty = m_arrived.empty();
            std::move(batch.begin(), batch.end(), std::back_inserter(m_arrived));
        }
        batch.clear();
        if (wasEmpty)
            emit datagramsWaiting();
        if (count < 0)
            return; // the error is delivered in its place; a broken socket is not read again
    }
}
