// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DatagramEndpoint.h"

#include "Failure.h"
#include "Payload.h"
#include "PortText.h"

#include <QCoreApplication>
#include <QTimer>

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// In a flood, each pass of the event loop announces at most this many datagrams (the window then
// inserts them into the log and repaints), and the next pass waits a little. The window keeps
// repainting and taking input, and it leaves a processor to the reader: on a machine with few
// cores a window that took one whole would delay the reader enough for the kernel's small buffer
// to overflow.
constexpr int MaxAnnouncedPerPass = 128;
constexpr int FloodPauseMs = 2;
// In a flood, too fast for any window to show as it comes, the window takes only a few lines this
// often, counted from the flood's start, and leaves the processor to the reader in between: with
// two cores, one of them the sender's, the window's thread runs on the reader's, and a full pass
// (about a millisecond) is as long as the kernel's buffer lasts.
constexpr int FloodHoldMs = 250;
constexpr int MaxAnnouncedPerHeldPass = 16;
// The window takes its first look at what has come this long after the first datagram, by when a
// burst has been recognised; a look at once would be a full pass, right at the burst's start.
constexpr int FirstLookMs = 1;
// A burst is over within this; a longer flood is shown at the window's own pace from then on, or
// the reader would soon hold as much as it may.
constexpr int LongestFloodHoldMs = 1000;

constexpr int LargestPort = 65535;
constexpr int FirstUnprivilegedPort = 1024;

Failure bindRefused(int port, int error)
{
    const QString reason = qt_error_string(error);
    QString advice;
    if (error == EADDRINUSE) {
        advice = QStringLiteral(" Another program is using this port: stop it, or choose another "
                                "port.");
    } else if (error == EACCES && port < FirstUnprivilegedPort) {
        QString program = QCoreApplication::applicationFilePath();
        if (program.isEmpty())
            program = QStringLiteral("harkline");
        advice = QStringLiteral(" Ports below %1 need the cap_net_bind_service capability: grant "
                                "it with \"sudo setcap cap_net_bind_service=+ep %2\", or choose a "
                                "port of %1 or more.")
                     .arg(FirstUnprivilegedPort)
                     .arg(program);
    }
    return Failure(
        FailureNumber::BindRefused,
        QStringLiteral("Cannot listen on UDP port %1: %2.%3").arg(port).arg(reason, advice));
}

Failure portOutOfRange(qint64 port)
{
    return Failure(FailureNumber::PortOutOfRange,
                   QStringLiteral("Port %1 is not a UDP port: ports run from 0 to %2.")
                       .arg(port)
                       .arg(LargestPort));
}

} // namespace

DatagramEndpoint::DatagramEndpoint(QObject *parent)
    : QObject(parent)
{
    m_announceTimer.setSingleShot(true);
    m_announceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_announceTimer, &QTimer::timeout, this, &DatagramEndpoint::announceArrivals);
}

DatagramEndpoint::~DatagramEndpoint()
{
    Close();
}

void DatagramEndpoint::setRemoteHost(const QString &host)
{
    m_remoteHost = host;
}

void DatagramEndpoint::setRemotePort(qint32 port)
{
    if (port < 0 || port > LargestPort)
        throw portOutOfRange(port);
    m_remotePort = port;
}

int DatagramEndpoint::LocalPort() const
{
    sockaddr_in address {};
    socklen_t length = sizeof(address);
    if (m_socket < 0 || getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) < 0)
        return 0;
    return ntohs(address.sin_port);
}

void DatagramEndpoint::Bind(double localPort)
{
    const qint32 port = RoundHalfEven(localPort);
    if (port < 0 || port > LargestPort)
        throw portOutOfRange(port);
    if (m_socket >= 0) {
        throw Failure(FailureNumber::BindRefused,
                      QStringLiteral("Cannot listen on UDP port %1: this endpoint already listens "
                                     "on port %2.")
                          .arg(port)
                          .arg(LocalPort()));
    }

    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        throw bindRefused(port, errno);
    if (m_receiveBufferSize > 0) {
        // Best effort: a smaller buffer than asked for only means the reader must keep up sooner.
        setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &m_receiveBufferSize,
                   sizeof(m_receiveBufferSize));
    }
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) < 0) {
        const int error = errno;
        ::close(socket);
        throw bindRefused(port, error);
    }

    m_socket = socket;
    m_reader = std::make_unique<SocketReader>(socket);
    // During a flood's pause the timer is already running: the news waits for it.
    connect(
        m_reader.get(), &SocketReader::datagramsWaiting, this,
        [this] {
            if (!m_announceTimer.isActive())
                m_announceTimer.start(FirstLookMs);
        },
        Qt::QueuedConnection);
    m_reader->start();
}

void DatagramEndpoint::SendData(const QString &text)
{
    const QByteArray payload = textToPayload(text);
    in_addr host {};
    if (m_remoteHost.contains(QChar(0))
        || inet_pton(AF_INET, m_remoteHost.toLatin1().constData(), &host) != 1) {
        throw Failure(FailureNumber::SendRefused,
                      QStringLiteral("Cannot send to \"%1\": the remote host must be a dotted IPv4 "
                                     "address.")
                          .arg(m_remoteHost));
    }
    const QString destination = QStringLiteral("%1 port %2").arg(m_remoteHost).arg(m_remotePort);
    if (m_remotePort == 0) {
        throw Failure(
            FailureNumber::SendRefused,
            QStringLiteral("Cannot send to %1: no program can listen on port 0.").arg(destination));
    }
    if (m_socket < 0) {
        throw Failure(
            FailureNumber::SendRefused,
            QStringLiteral("Cannot send to %1: the endpoint is not bound.").arg(destination));
    }

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(m_remotePort));
    address.sin_addr = host;
    if (::sendto(m_socket, payload.constData(), std::size_t(payload.size()), 0,
                 reinterpret_cast<const sockaddr *>(&address), sizeof(address))
        < 0) {
        throw Failure(
            FailureNumber::SendRefused,
            QStringLiteral("Cannot send to %1: %2.").arg(destination, qt_error_string(errno)));
    }
}

void DatagramEndpoint::GetData(QString &text)
{
    text.clear();
    if (m_announcedCount == 0)
        return;
    const DatagramBatch &batch = m_batches.front();
    const qsizetype index = m_fetchIndex;
    const int error = batch.isError(index) ? batch.error : 0;
    const QByteArrayView payload = batch.payload(index);
    if (error == 0)
        text = payloadToText(payload);
    m_reader->release(payload.size());
    --m_announcedCount;
    if (++m_fetchIndex == batch.count()) {
        m_batches.pop_front();
        m_fetchIndex = 0;
        --m_announceBatch; // a fully fetched batch was fully announced: the place is further on
    }
    if (error != 0) {
        throw Failure(FailureNumber::ReceiveFailed,
                      QStringLiteral("Cannot receive on UDP port %1: %2.")
                          .arg(LocalPort())
                          .arg(qt_error_string(error)));
    }
}

void DatagramEndpoint::Close()
{
    if (m_socket < 0)
        return;
    m_reader.reset(); // stops the reading thread before its socket goes
    ::close(m_socket);
    m_socket = -1;
    // What was not fetched belonged to the closed socket and goes with it.
    m_announceTimer.stop();
    m_batches.clear();
    m_fetchIndex = 0;
    m_announcedCount = 0;
    m_announceBatch = 0;
    m_announceIndex = 0;
}

void DatagramEndpoint::announceArrivals()
{
    // A handler that runs a nested event loop must not see the next datagram before it returns;
    // the outer pass carries on afterwards.
    if (m_announcing)
        return;
    const qint64 floodMs = m_reader && m_reader->inFlood() ? m_reader->floodLengthMs() : -1;
    const bool held = floodMs >= 0 && floodMs < LongestFloodHoldMs;
    if (held
        && (floodMs < FloodHoldMs
            || (m_sinceLastPass.isValid() && m_sinceLastPass.elapsed() < FloodHoldMs))) {
        m_announceTimer.start(FloodPauseMs);
        return;
    }
    m_sinceLastPass.start();
    m_announcing = true;

    const int most = held ? MaxAnnouncedPerHeldPass : MaxAnnouncedPerPass;
    int announced = 0;
    while (m_reader && announced < most) {
        if (m_announceBatch == m_batches.size() && !m_reader->takeAll(m_batches))
            break;
        const DatagramBatch &batch = m_batches[m_announceBatch];
        const qsizetype size = batch.payload(m_announceIndex).size();
        if (++m_announceIndex == batch.count()) {
            ++m_announceBatch;
            m_announceIndex = 0;
        }
        ++m_announcedCount;
        ++announced;
        emit DataArrival(qint32(size));
    }

    m_announcing = false;
    const bool more = m_announceBatch < m_batches.size() || (m_reader && m_reader->hasArrivals());
    if (m_reader && more)
        m_announceTimer.start(announced == most ? FloodPauseMs : 0);
}
