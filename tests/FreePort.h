// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FREEPORT_H
#define HARKLINE_FREEPORT_H

#include <QDir>
#include <QRandomGenerator>
#include <QUdpSocket>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// Start takes ports up to 32000, below the kernel's range of ephemeral ports, so the system
// cannot be asked for one: find one that nobody holds, in either family, as the program binds
// both (a socket bound to any IPv6 address without IPV6_V6ONLY holds the IPv4 port too). The probe
// lets the port go before the program binds it, so the tests running beside this one could pick
// it in between: each port given out is claimed with a lock that the tests' processes respect and
// that holds until this process ends. 0 when none was found.
inline quint16 freePort()
{
    const QString claimFolder = QDir::tempPath() + QStringLiteral("/harkline-test-ports");
    QDir().mkpath(claimFolder);
    const QByteArray claims = QFile::encodeName(claimFolder);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(QRandomGenerator::global()->bounded(10000, 32000));
        const QByteArray claim = claims + '/' + QByteArray::number(port);
        const int fd = ::open(claim.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            continue;
        QUdpSocket probe;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && probe.bind(QHostAddress::Any, port))
            return port; // the claim's descriptor stays open for the rest of the process
        ::close(fd);
    }
    return 0;
}

#endif // HARKLINE_FREEPORT_H
