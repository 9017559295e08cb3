// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DatagramEndpoint.h"

#include "BindHelper.h"
#include "BindReply.h"
#include "DualStackSocket.h"
#include "Failure.h"
#include "Payload.h"
#include "PortHolder.h"
#include "RoundHalfEven.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMetaMethod>
#include <QScopedValueRollback>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long the window's thread leaves the processor to the reader once the reader needed it:
// about a frame, so that the log still moves while a flood lasts.
constexpr std::chrono::milliseconds ReaderTurn { 20 };

// One pass of the event loop announces what has arrived for this long at most, then lets the
// window repaint and take input before the next: a flood is shown steadily, at the window's own
// pace, and never freezes it.
constexpr std::chrono::milliseconds PassBudget { 4 };
// Every this many datagrams, a pass looks at the clock and asks whether the reader needs the
// processor.
constexpr int CheckInterval = 16;
// The first datagram after a quiet spell is announced at once; while datagrams keep coming, the
// window looks at most this often, since the log box shows new lines once a frame anyway.
constexpr std::chrono::milliseconds LookInterval { 8 };

constexpr int LargestPort = 65535;

QString systemErrorText(int error)
{
    return QString::fromStdString(std::system_category().message(error));
}

// 'helperError': what the bind helper said, for a port below 1024 that this process may not bind.
Failure bindRefused(int port, int error, int helperError = 0)
{
    QString advice;
    if (error == EADDRINUSE) {
        const QString holder = describeUdpPortHolder(port);
        advice = holder.isEmpty() ? QStringLiteral(" Another program is using this port.")
                                  : u' ' + holder;
        advice += QStringLiteral(" Stop it, or start Harkline again and choose another port.");
    } else if (error == EACCES && port < FirstUnprivilegedPort) {
        const QString helper = QDir::cleanPath(bindHelperPath());
        if (helperError == EPERM) {
            advice = QStringLiteral(" Harkline's helper binds only port %1 and the ports an "
                                    "administrator lists in %2. To allow this one, add a line "
                                    "\"%3\" to that file, or start Harkline again and choose a "
                                    "port of %4 or more.")
                         .arg(DefaultBindPort)
                         .arg(QString::fromLatin1(BindPortsFile))
                         .arg(port)
                         .arg(FirstUnprivilegedPort);
        } else {
            advice = helperError == ENOENT
                ? QStringLiteral(" Ports below %1 need the cap_net_bind_service capability, "
                                 "which Harkline's helper %2 has when Harkline is installed from "
                                 "its package; it is not there. Install the package, or start "
                                 "Harkline again and choose a port of %1 or more.")
                : QStringLiteral(" Ports below %1 need the cap_net_bind_service capability, "
                                 "which Harkline's helper %2 does not have: grant it with \"sudo "
                                 "setcap cap_net_bind_service=ep %2\", or start Harkline again "
                                 "and choose a port of %1 or more.");
            advice = advice.arg(FirstUnprivilegedPort).arg(helper);
        }
    }
    return Failure(FailureNumber::BindRefused,
                   QStringLiteral("Cannot listen on UDP port %1: %2.%3")
                       .arg(port)
                       .arg(systemErrorText(error), advice));
}

Failure portOutOfRange(qint64 port)
{
    return Failure(FailureNumber::PortOutOfRange,
                   QStringLiteral("Port %1 is not a UDP port: ports run from 0 to %2.")
                       .arg(port)
                       .arg(LargestPort));
}

// A socket bound to 'port' on every local address. A port below 1024 that the system refuses to
// this process is bound by the bind helper.
int boundSocket(int port, bool &dualStack)
{
    const int socket = openSocket(dualStack);
    if (socket < 0)
        throw bindRefused(port, errno);
    sockaddr_storage address;
    const socklen_t length =
        socketAddress(address, dualStack, in_addr { htonl(INADDR_ANY) }, std::uint16_t(port));
    const auto *to = reinterpret_cast<const sockaddr *>(&address);
    if (::bind(socket, to, length) == 0)
        return socket;
    int error = errno;
    ::close(socket);
    if (error != EACCES || port <= 0 || port >= FirstUnprivilegedPort)
        throw bindRefused(port, error);
    int helperError = 0;
    const int helped = bindThroughHelper(bindHelperPath(), port, &helperError);
    if (helped < 0) {
        const bool denied = helperError == ENOENT || helperError == EACCES || helperError == EPERM;
        throw bindRefused(port, denied ? EACCES : helperError, helperError);
    }
    sockaddr_storage bound {};
    socklen_t boundLength = sizeof(bound);
    getsockname(helped, reinterpret_cast<sockaddr *>(&bound), &boundLength);
    dualStack = bound.ss_family == AF_INET6;
    return helped;
}

void enable(int socket, int option)
{
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, option, &on, sizeof(on));
}

} // namespace

DatagramEndpoint::DatagramEndpoint(QObject *parent)
    : QObject(parent)
{
    m_announceTimer.setSingleShot(true);
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
    sockaddr_storage address {};
    socklen_t length = sizeof(address);
    if (m_socket < 0 || getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) < 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
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

    bool dualStack = false;
    const int socket = boundSocket(port, dualStack);
    const bool receiving =
        isSignalConnected(QMetaMethod::fromSignal(&DatagramEndpoint::DataArrival));
    int wakeFd = -1;
    if (receiving) {
        // Best effort: a smaller buffer than asked for only means the reader must keep up sooner.
        if (m_receiveBufferSize > 0) {
            setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &m_receiveBufferSize,
                       sizeof(m_receiveBufferSize));
        }
        // Each datagram then carries the socket's count of drops and the time it came.
        enable(socket, SO_RXQ_OVFL);
        enable(socket, SO_TIMESTAMPNS);
        wakeFd = eventfd(0, EFD_CLOEXEC);
    }
    if (receiving && wakeFd < 0) {
        const int error = errno;
        ::close(socket);
        throw bindRefused(port, error);
    }

    m_socket = socket;
    m_dualStack = dualStack;
    if (receiving) {
        m_reader = std::make_unique<SocketReader>(socket, wakeFd, m_storeLimit);
        // The first datagram on an idle port is shown at once; while a pass is due, it waits for
        // that pass.
        connect(m_reader.get(), &SocketReader::datagramsWaiting, this,
                &DatagramEndpoint::lookAtArrivals, Qt::QueuedConnection);
        connect(m_reader.get(), &SocketReader::systemDropsCounted, this,
                &DatagramEndpoint::systemDropsCounted, Qt::QueuedConnection);
        m_reader->start();
    }
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

    sockaddr_storage address;
    const socklen_t length = socketAddress(address, m_dualStack, host, std::uint16_t(m_remotePort));
    if (::sendto(m_socket, payload.constData(), std::size_t(payload.size()), 0,
                 reinterpret_cast<const sockaddr *>(&address), length)
        < 0) {
        throw Failure(
            FailureNumber::SendRefused,
            QStringLiteral("Cannot send to %1: %2.").arg(destination, systemErrorText(errno)));
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
    if (error == 0) {
        text = payloadToText(payload);
        m_fetchedArrival = batch.arrivals[std::size_t(index)];
    } else {
        m_fetchedArrival = {};
    }
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
                          .arg(systemErrorText(error)));
    }
}

void DatagramEndpoint::Close()
{
    if (m_socket < 0)
        return;
    m_reader.reset(); // stops the reading thread before its socket goes
    ::close(m_socket);
    m_socket = -1;
    m_dualStack = false;
    // What was not fetched belonged to the closed socket and goes with it.
    m_announceTimer.stop();
    m_batches.clear();
    m_fetchIndex = 0;
    m_announcedCount = 0;
    m_announceBatch = 0;
    m_announceIndex = 0;
}

bool DatagramEndpoint::isLeavingProcessorToReader()
{
    if (!m_reader)
        return false;
    if (!m_leaveReaderUntil.hasExpired())
        return true;
    if (!m_reader->needsProcessor())
        return false;
    m_leaveReaderUntil.setRemainingTime(ReaderTurn);
    return true;
}

std::chrono::milliseconds DatagramEndpoint::untilNextLook() const
{
    if (!m_sinceLook.isValid())
        return {};
    return std::max(LookInterval - std::chrono::milliseconds(m_sinceLook.elapsed()),
                    std::chrono::milliseconds::zero());
}

void DatagramEndpoint::lookAtArrivals()
{
    if (m_announceTimer.isActive())
        return;
    const auto wait = untilNextLook();
    if (wait == wait.zero())
        announceArrivals();
    else
        m_announceTimer.start(wait);
}

void DatagramEndpoint::announceArrivals()
{
    // A handler that runs a nested event loop must not see the next datagram before it returns;
    // the outer pass carries on afterwards.
    if (m_announcing)
        return;
    const QScopedValueRollback announcing(m_announcing, true);
    m_sinceLook.start();
    const QDeadlineTimer passEnd(PassBudget, Qt::PreciseTimer);
    for (int announced = 0; m_reader; ++announced) {
        if (announced % CheckInterval == 0) {
            if (isLeavingProcessorToReader()) {
                m_announceTimer.start(int(m_leaveReaderUntil.remainingTime()));
                return;
            }
            if (passEnd.hasExpired()) {
                m_announceTimer.start(0);
                return;
            }
        }
        if (m_announceBatch == m_batches.size() && !m_reader->takeAll(m_batches))
            break;
        const DatagramBatch &batch = m_batches[m_announceBatch];
        const qsizetype size = batch.payload(m_announceIndex).size();
        if (++m_announceIndex == batch.count()) {
            ++m_announceBatch;
            m_announceIndex = 0;
        }
        ++m_announcedCount;
        emit DataArrival(qint32(size));
    }
    // All announced: the reader's news brings the next look.
    if (m_reader) {
        m_reader->wantNews();
        if (m_reader->hasArrivals())
            m_announceTimer.start(untilNextLook());
    }
}
