// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SocketReader.h"

#include <QMutexLocker>

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One system call takes up to this many datagrams; each buffer holds the largest IPv4 payload
// (65,507 bytes) whole. Only the pages a datagram touches become resident.
constexpr int BatchSize = 64;
constexpr int BufferSize = 65536;
// Room for the two control messages each datagram carries: its receive time and the socket's
// drop count.
constexpr std::size_t ControlSize = CMSG_SPACE(sizeof(timespec)) + CMSG_SPACE(sizeof(quint32));

qint64 wallClockNs()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// What the kernel holds for the socket: bytes queued, the buffer's size, datagrams dropped...
std::optional<std::array<quint32, SK_MEMINFO_VARS>> socketMemory(int socket)
{
    std::array<quint32, SK_MEMINFO_VARS> memory {};
    socklen_t length = sizeof(memory);
    if (getsockopt(socket, SOL_SOCKET, SO_MEMINFO, memory.data(), &length) < 0)
        return std::nullopt;
    return memory;
}

void setSender(Arrival &arrival, const sockaddr_storage &from)
{
    if (from.ss_family == AF_INET6) {
        const auto &from6 = reinterpret_cast<const sockaddr_in6 &>(from);
        arrival.port = ntohs(from6.sin6_port);
        // An IPv4 sender on a socket that takes both comes as ::ffff:a.b.c.d.
        arrival.ipv4 = IN6_IS_ADDR_V4MAPPED(&from6.sin6_addr);
        if (arrival.ipv4)
            std::memcpy(arrival.address.data(), &from6.sin6_addr.s6_addr[12], 4);
        else
            std::memcpy(arrival.address.data(), &from6.sin6_addr, 16);
    } else if (from.ss_family == AF_INET) {
        const auto &from4 = reinterpret_cast<const sockaddr_in &>(from);
        arrival.port = ntohs(from4.sin_port);
        arrival.ipv4 = true;
        std::memcpy(arrival.address.data(), &from4.sin_addr, 4);
    }
}

} // namespace

SocketReader::SocketReader(int socket, int wakeFd, qint64 maxHeldDatagrams, QObject *parent)
    : QThread(parent)
    , m_socket(socket)
    , m_wakeFd(wakeFd)
    , m_maxHeldDatagrams(maxHeldDatagrams)
{
    setObjectName(QStringLiteral("SocketReader"));
}

SocketReader::~SocketReader()
{
    m_stopping = true;
    wake();
    wait();
    ::close(m_wakeFd);
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
    if (m_waitingForRoom && !isFull())
        wake();
}

bool SocketReader::needsProcessor() const
{
    if (m_waitingForRoom)
        return false; // the reader waits for the window, not for a processor
    const auto memory = socketMemory(m_socket);
    return memory && (*memory)[SK_MEMINFO_RMEM_ALLOC] >= (*memory)[SK_MEMINFO_RCVBUF] / 8;
}

void SocketReader::noteDrops()
{
    const auto memory = socketMemory(m_socket);
    if (memory && (*memory)[SK_MEMINFO_DROPS] != m_noted) {
        m_noted = (*memory)[SK_MEMINFO_DROPS];
        emit systemDropsCounted(m_noted);
    }
}

bool SocketReader::isFull() const
{
    return m_heldDatagrams >= m_maxHeldDatagrams || m_heldBytes >= MaxHeldBytes;
}

void SocketReader::wake()
{
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof(one));
}

void SocketReader::waitForRoom()
{
    m_waitingForRoom = true;
    // release() may have made room just before the flag was up, and then not woken us.
    while (isFull() && !m_stopping) {
        pollfd wakeup { m_wakeFd, POLLIN, 0 };
        if (poll(&wakeup, 1, -1) > 0) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof(count));
        }
    }
    m_waitingForRoom = false;
}

bool SocketReader::waitForDatagrams()
{
    std::array<pollfd, 2> fds { { { m_socket, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } } };
    while (poll(fds.data(), fds.size(), -1) < 0) {
        if (errno != EINTR)
            return true; // let the receive report what is wrong
    }
    if (fds[1].revents & POLLIN) {
        quint64 count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof(count));
        return false;
    }
    return true;
}

void SocketReader::run()
{
    // Not zero-filled: the kernel writes each buffer before it is read.
    const auto buffers =
        std::make_unique_for_overwrite<char[]>(std::size_t(BatchSize) * BufferSize);
    const auto controls = std::make_unique_for_overwrite<char[]>(BatchSize * ControlSize);
    std::array<sockaddr_storage, BatchSize> senders;
    std::array<iovec, BatchSize> vectors {};
    std::array<mmsghdr, BatchSize> messages {};
    for (int i = 0; i < BatchSize; ++i) {
        vectors[i] = { buffers.get() + std::size_t(i) * BufferSize, BufferSize };
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_control = controls.get() + std::size_t(i) * ControlSize;
    }

    quint32 dropCount = 0; // the socket's count of dropped datagrams, as last seen
    bool backlog = false; // a read came back full since the kernel's count was last looked at
    // While a read comes back full, more are waiting: read on without waiting. Otherwise wait
    // until the socket is readable, which costs nothing while nothing arrives.
    bool full = false;
    while (!m_stopping) {
        if (isFull()) {
            // The kernel drops what its buffer cannot hold while the reader waits.
            waitForRoom();
            backlog = true;
            continue;
        }
        if (!full && !waitForDatagrams())
            continue;

        for (auto &message : messages) {
            message.msg_hdr.msg_namelen = sizeof(sockaddr_storage);
            message.msg_hdr.msg_controllen = ControlSize;
        }
        const int count = recvmmsg(m_socket, messages.data(), BatchSize, MSG_DONTWAIT, nullptr);
        full = count == BatchSize;
        backlog = backlog || full;
        if (!full && backlog) {
            // The kernel may have dropped datagrams after the last one read: the next datagram
            // would tell, but there may be none for a long time.
            backlog = false;
            noteDrops();
        }
        if (count == 0)
            continue;
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
            batch.arrivals.resize(std::size_t(count));
            const qint64 readNs = wallClockNs();
            for (int i = 0; i < count; ++i) {
                batch.payloads.append(buffers.get() + std::size_t(i) * BufferSize,
                                      qsizetype(messages[i].msg_len));
                batch.ends.push_back(batch.payloads.size());
                Arrival &arrival = batch.arrivals[std::size_t(i)];
                setSender(arrival, senders[std::size_t(i)]);
                arrival.timeNs = readNs;
                msghdr &header = messages[i].msg_hdr;
                for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
                    if (c->cmsg_level != SOL_SOCKET)
                        continue;
                    if (c->cmsg_type == SCM_TIMESTAMPNS) {
                        timespec stamp {};
                        std::memcpy(&stamp, CMSG_DATA(c), sizeof(stamp));
                        arrival.timeNs = qint64(stamp.tv_sec) * 1'000'000'000 + stamp.tv_nsec;
                    } else if (c->cmsg_type == SO_RXQ_OVFL) {
                        // Cumulative, and absent while still 0.
                        quint32 total = 0;
                        std::memcpy(&total, CMSG_DATA(c), sizeof(total));
                        arrival.droppedBefore = total - dropCount;
                        dropCount = total;
                    }
                }
            }
            m_heldBytes += bytes;
        }
        m_heldDatagrams += batch.count();

        {
            QMutexLocker locker(&m_mutex);
            m_arrived.push_back(std::move(batch));
        }
        if (m_newsWanted.exchange(false))
            emit datagramsWaiting();
        if (count < 0)
            return; // the error is delivered in its place; a broken socket is not read again
    }
}
