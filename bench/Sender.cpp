// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Sender.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Numbered {

std::int64_t nowNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

QByteArray payload(std::uint32_t sequence, int size)
{
    char head[64];
    const int length = std::snprintf(head, sizeof(head), "#%09u %020lld ", sequence,
                                     static_cast<long long>(nowNs()));
    QByteArray bytes(head, length);
    if (bytes.size() < size - 1)
        bytes.append(size - 1 - bytes.size(), 'x');
    bytes.append('\n');
    return bytes;
}

Tally count(const QByteArray &text, std::uint32_t total)
{
    Tally tally;
    std::vector<bool> seen(total, false);
    qint64 highest = -1;
    qsizetype at = 0;
    while ((at = text.indexOf('#', at)) >= 0) {
        if (at + 31 > text.size())
            break;
        bool ok = false;
        const std::uint32_t sequence = text.mid(at + 1, 9).toUInt(&ok);
        if (!ok || sequence >= total || text.at(at + 10) != ' ') {
            ++at;
            continue;
        }
        if (seen[sequence]) {
            ++tally.duplicates;
        } else {
            seen[sequence] = true;
            ++tally.received;
            tally.sendTimesNs << text.mid(at + 11, 20).toLongLong();
            if (qint64(sequence) < highest)
                ++tally.outOfOrder;
            highest = std::max<qint64>(highest, sequence);
        }
        at += 31;
    }
    return tally;
}

} // namespace Numbered

qint64 sendNumbered(int port, std::uint32_t count, int size, int rate, std::int64_t startNs)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(std::uint16_t(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof(to)) < 0)
        return 0;

    constexpr int Batch = 64;
    std::vector<QByteArray> payloads(Batch);
    std::vector<iovec> vectors(Batch);
    std::vector<mmsghdr> messages(Batch);
    // Waits running, not sleeping: a sender that wakes from a sleep may be put on the receiver's
    // processor, where a sender already running would not be.
    while (Numbered::nowNs() < startNs) { }
    const std::int64_t start = startNs;
    std::uint32_t next = 0;
    qint64 accepted = 0;
    while (next < count) {
        std::uint32_t due = count;
        if (rate > 0) {
            due = std::uint32_t(std::min<std::int64_t>(
                count, (Numbered::nowNs() - start) * rate / 1'000'000'000 + 1));
            if (due <= next) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
        }
        const int n = int(std::min<std::uint32_t>(Batch, due - next));
        for (int i = 0; i < n; ++i) {
            payloads[i] = Numbered::payload(next + std::uint32_t(i), size);
            vectors[i] = { payloads[i].data(), std::size_t(payloads[i].size()) };
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int sent = sendmmsg(fd, messages.data(), unsigned(n), 0);
        if (sent < 0) {
            if (errno == ECONNREFUSED || errno == EINTR || errno == ENOBUFS)
                continue; // an ICMP error from an earlier datagram: send again
            break;
        }
        next += std::uint32_t(sent);
        accepted += sent;
    }
    close(fd);
    return accepted;
}
