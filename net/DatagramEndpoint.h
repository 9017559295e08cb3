// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_DATAGRAMENDPOINT_H
#define HARKLINE_DATAGRAMENDPOINT_H

#include "SocketReader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

// A UDP endpoint over IPv4: given a remote host and port, bound to a local port on all local
// addresses, it sends datagrams and announces each arriving one with DataArrival. Payloads are
// text one character per byte (Latin-1). Every failing operation raises a Failure.
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

    // Asked of the kernel at the next Bind.
    void setReceiveBufferSize(int bytes) { m_receiveBufferSize = bytes; }

    void Bind(double localPort);
    void SendData(const QString &text);
    // Replaces 'text' with the payload of the oldest announced datagram and forgets it; empty when
    // none is waiting.
    void GetData(QString &text);
    void Close();

signals:
    // Once for each arriving datagram, in arrival order, on the thread that owns the endpoint.
    void DataArrival(qint32 bytesTotal);

private:
    void announceArrivals();

    QString m_remoteHost;
    int m_remotePort = 0;
    int m_receiveBufferSize = DefaultReceiveBufferSize;

    int m_socket = -1;
    std::unique_ptr<SocketReader> m_reader;

    // Batches taken from the reader, oldest first. The oldest datagrams have been announced and
    // wait for GetData; the rest wait to be announced.
    std::deque<DatagramBatch> m_batches;
    qsizetype m_fetchIndex = 0; // next to fetch, in the first batch
    qsizetype m_announcedCount = 0; // announced and not fetched yet
    std::size_t m_announceBatch = 0; // next to announce: a batch, counted from the first
    qsizetype m_announceIndex = 0; // and its place in that batch
    bool m_announcing = false;
    QElapsedTimer m_sinceLastPass;
    QTimer m_announceTimer;
};

#endif // HARKLINE_DATAGRAMENDPOINT_H
