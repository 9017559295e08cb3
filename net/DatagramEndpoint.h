// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_DATAGRAMENDPOINT_H
#define HARKLINE_DATAGRAMENDPOINT_H

#include "Arrival.h"
#include "SocketReader.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>

// A UDP endpoint: given a remote host and port, bound to a local port on all local addresses
// (IPv6 and IPv4 on one socket where the system has IPv6, IPv4 alone otherwise), it sends
// datagrams and announces each arriving one with DataArrival. Payloads are text one character per
// byte (Latin-1). Every failing operation raises a Failure.
//
// Only an endpoint whose DataArrival is connected when it is bound reads what arrives: one that
// only sends keeps no reading thread and no receive buffers.
class DatagramEndpoint : public QObject
{
    Q_OBJECT

public:
    enum class Transport { UDP };

    // What Bind asks the kernel to keep for a burst; the system caps it at net.core.rmem_max.
    static constexpr int DefaultReceiveBufferSize = 4 * 1024 * 1024;

    explicit DatagramEndpoint(QObject *parent = nullptr);
    ~DatagramEndpoint() override;

    Transport Protocol() const { return Transport::UDP; }

    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString &host);
    int RemotePort() const { return m_remotePort; }
    void setRemotePort(qint32 port);
    // The port the endpoint is bound to (the system's choice after Bind(0)); 0 while closed.
    int LocalPort() const;
    // Whether the bound socket takes IPv6 senders as well as IPv4 ones.
    bool isDualStack() const { return m_dualStack; }

    // Asked of the kernel at the next Bind.
    void setReceiveBufferSize(int bytes) { m_receiveBufferSize = bytes; }
    // How many datagrams the reader keeps for the window, at most, from the next Bind.
    void setStoreLimit(qint64 datagrams) { m_storeLimit = datagrams; }

    void Bind(double localPort);
    void SendData(const QString &text);
    // Replaces 'text' with the payload of the oldest announced datagram and forgets it; empty when
    // none is waiting.
    void GetData(QString &text);
    // When and from whom the datagram that GetData last returned came.
    const Arrival &fetchedArrival() const { return m_fetchedArrival; }
    void Close();

    // True while the window's thread should leave the processor to the reading thread: datagrams
    // have piled up in the kernel, which drops what its buffer cannot hold, because the reader did
    // not get a processor; and for a short turn after, while the reader catches up.
    bool isLeavingProcessorToReader();

signals:
    // Once for each arriving datagram, in arrival order, on the thread that owns the endpoint.
    void DataArrival(qint32 bytesTotal);
    // How many datagrams the system has dropped on the bound socket so far. Each arrival tells how
    // many were dropped just before it; this also tells of those dropped after the last one.
    void systemDropsCounted(quint32 total);

private:
    void lookAtArrivals();
    std::chrono::milliseconds untilNextLook() const;
    void announceArrivals();

    QString m_remoteHost;
    int m_remotePort = 0;
    int m_receiveBufferSize = DefaultReceiveBufferSize;
    qint64 m_storeLimit = SocketReader::DefaultMaxHeldDatagrams;

    int m_socket = -1;
    bool m_dualStack = false;
    std::unique_ptr<SocketReader> m_reader;

    // Batches taken from the reader, oldest first. The oldest datagrams have been announced and
    // wait for GetData; the rest wait to be announced.
    std::deque<DatagramBatch> m_batches;
    qsizetype m_fetchIndex = 0; // next to fetch, in the first batch
    qsizetype m_announcedCount = 0; // announced and not fetched yet
    std::size_t m_announceBatch = 0; // next to announce: a batch, counted from the first
    qsizetype m_announceIndex = 0; // and its place in that batch
    bool m_announcing = false;
    QTimer m_announceTimer;
    QElapsedTimer m_sinceLook;
    Arrival m_fetchedArrival;
    QDeadlineTimer m_leaveReaderUntil;
};

#endif // HARKLINE_DATAGRAMENDPOINT_H
