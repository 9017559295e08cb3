// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DatagramEndpoint.h"
#include "Failure.h"
#include "Payload.h"

#include "FreePort.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QUdpSocket>

#include <array>
#include <atomic>
#include <csignal>
#include <cstddef>
#include <functional>
#include <thread>

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs 'operation' and returns the number of the Failure it raised, or 0.
qint32 failureOf(const std::function<void()> &operation, QString *description = nullptr)
{
    try {
        operation();
    } catch (const Failure &failure) {
        if (description)
            *description = failure.description();
        return failure.number();
    }
    return 0;
}

// Bytes waiting in the kernel for the UDP socket on 'port', or -1 if there is none.
qint64 receiveQueueBytes(int port)
{
    const QByteArray suffix = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const char *table : { "/proc/net/udp6", "/proc/net/udp" }) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray &line : lines) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 4 && fields.at(1).endsWith(suffix))
                return fields.at(4).split(':').value(1).toLongLong(nullptr, 16);
        }
    }
    return -1;
}

// Runs 'child' in a forked process and returns what it wrote to the pipe it is given.
QByteArray inChildProcess(const std::function<QByteArray()> &child)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const QByteArray bytes = child();
        (void)!write(pipeFds[1], bytes.constData(), std::size_t(bytes.size()));
        _exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray output;
    char buffer[1024];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof(buffer))) > 0)
        output.append(buffer, n);
    ::close(pipeFds[0]);
    waitpid(pid, nullptr, 0);
    return output;
}

QByteArray allBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

} // namespace

class tst_DatagramEndpoint : public QObject
{
    Q_OBJECT

private slots:
    void payloadRoundTrip_data();
    void payloadRoundTrip();
    void textOutsideLatin1IsRefused_data();
    void textOutsideLatin1IsRefused();
    void receivesPayloadWhole_data();
    void receivesPayloadWhole();
    void sendsTextAsBytes();
    void eachDatagramIsAnnouncedOnceInOrder();
    void sendersAreAllHeard();
    void bindRangeAndRounding_data();
    void bindRangeAndRounding();
    void remotePortRange_data();
    void remotePortRange();
    void takenPortIsRefused();
    void privilegedPortSaysHowToGrantIt();
    void sendFailures_data();
    void sendFailures();
    void sendToSilentPortIsNoFailure();
    void closeFreesPortAndAllowsRebind();
    void getDataWithNothingWaitingGivesEmptyText();
    void handlersThatTurnTheEventLoopMissNothing();
    void blockedWindowThreadLosesNothing();
    void dropsAreCountedWhereTheyHappened();
    void closeWakesAnIdleReader();
    void portHolderIsNamed();
    void ipv4AloneWhereTheSystemHasNoIpv6();
};

void tst_DatagramEndpoint::payloadRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ascii") << QByteArray("Reception is OK on UDP port : 514");
    QTest::newRow("every byte") << allBytes();
    QTest::newRow("NUL in the middle") << QByteArray("a\0b", 3);
    QTest::newRow("only NUL") << QByteArray(16, '\0');
    QTest::newRow("high bytes") << QByteArray("\x80\xA0\xE9\xFF");
    QTest::newRow("largest IPv4 payload") << QByteArray(65507, '\xAB');
}

void tst_DatagramEndpoint::payloadRoundTrip()
{
    QFETCH(QByteArray, bytes);
    const QString text = payloadToText(bytes);
    QCOMPARE(text.size(), bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        QCOMPARE(text.at(i).unicode(), char16_t(quint8(bytes.at(i))));
    QCOMPARE(textToPayload(text), bytes);
}

void tst_DatagramEndpoint::textOutsideLatin1IsRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");

    QTest::newRow("euro sign") << QString::fromUtf8("port €") << "U+20AC";
    QTest::newRow("first character past Latin-1") << QString(QChar(0x100)) << "U+0100";
    QTest::newRow("emoji, two UTF-16 units") << QString::fromUtf8("514 🙂") << "U+1F642";
}

void tst_DatagramEndpoint::textOutsideLatin1IsRefused()
{
    QFETCH(QString, text);
    QFETCH(QString, named);
    QString description;
    QCOMPARE(failureOf([&] { textToPayload(text); }, &description),
             qint32(FailureNumber::NotLatin1));
    QVERIFY2(description.contains(named), qPrintable(description));
}

void tst_DatagramEndpoint::receivesPayloadWhole_data()
{
    payloadRoundTrip_data();
    QTest::newRow("CR LF inside") << QByteArray("first\r\nsecond");
}

void tst_DatagramEndpoint::receivesPayloadWhole()
{
    QFETCH(QByteArray, bytes);
    DatagramEndpoint endpoint;
    QSignalSpy arrivals(&endpoint, &DatagramEndpoint::DataArrival);
    endpoint.Bind(0);

    QUdpSocket sender;
    QCOMPARE(sender.writeDatagram(bytes, QHostAddress::LocalHost, quint16(endpoint.LocalPort())),
             bytes.size());
    QTRY_COMPARE(arrivals.size(), 1);
    QCOMPARE(arrivals.at(0).at(0).toInt(), bytes.size());

    QString text = QStringLiteral("replaced, not appended to");
    endpoint.GetData(text);
    QCOMPARE(textToPayload(text), bytes);
}

void tst_DatagramEndpoint::sendsTextAsBytes()
{
    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));

    DatagramEndpoint endpoint;
    endpoint.setRemoteHost("127.0.0.1");
    endpoint.setRemotePort(receiver.localPort());
    endpoint.Bind(0);
    const QString text = payloadToText(allBytes());
    endpoint.SendData(text);

    QTRY_VERIFY(receiver.hasPendingDatagrams());
    QCOMPARE(receiver.receiveDatagram().data(), allBytes());
}

void tst_DatagramEndpoint::eachDatagramIsAnnouncedOnceInOrder()
{
    DatagramEndpoint endpoint;
    QStringList received;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        received << text;
    });
    endpoint.Bind(0);

    // Sent before the event loop runs again: all are waiting when the first is announced.
    QUdpSocket sender;
    for (const char *payload : { "one", "", "three" })
        sender.writeDatagram(QByteArray(payload), QHostAddress::LocalHost,
                             quint16(endpoint.LocalPort()));
    QTRY_COMPARE(received.size(), 3);
    QCOMPARE(received, QStringList({ "one", "", "three" }));
    QTest::qWait(50);
    QCOMPARE(received.size(), 3);
}

void tst_DatagramEndpoint::sendersAreAllHeard()
{
    DatagramEndpoint endpoint;
    QStringList received;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        received << text + " from " + endpoint.fetchedArrival().senderText();
    });
    endpoint.setRemoteHost("127.0.0.1");
    endpoint.setRemotePort(0); // does not restrict who is heard
    endpoint.Bind(0);
    const auto port = quint16(endpoint.LocalPort());

    QUdpSocket first;
    QUdpSocket second;
    QVERIFY(first.bind(QHostAddress::AnyIPv4, 0));
    QVERIFY(second.bind(QHostAddress::AnyIPv4, 0));
    QStringList expected;
    first.writeDatagram("one", QHostAddress::LocalHost, port);
    expected << QStringLiteral("one from 127.0.0.1:%1").arg(first.localPort());
    QTRY_COMPARE(received.size(), 1);
    second.writeDatagram("two", QHostAddress::LocalHost, port);
    expected << QStringLiteral("two from 127.0.0.1:%1").arg(second.localPort());
    QTRY_COMPARE(received.size(), 2);
    first.writeDatagram("three", QHostAddress("127.0.0.2"), port); // any local address
    expected << QStringLiteral("three from 127.0.0.1:%1").arg(first.localPort());
    QTRY_COMPARE(received.size(), 3);

    QUdpSocket ipv6;
    if (!endpoint.isDualStack() || !ipv6.bind(QHostAddress::LocalHostIPv6, 0)) {
        QCOMPARE(received, expected);
        QSKIP("no IPv6 on this machine");
    }
    ipv6.writeDatagram("four", QHostAddress::LocalHostIPv6, port);
    expected << QStringLiteral("four from [::1]:%1").arg(ipv6.localPort());
    QTRY_COMPARE(received.size(), 4);
    QCOMPARE(received, expected);
}

void tst_DatagramEndpoint::bindRangeAndRounding_data()
{
    QTest::addColumn<double>("port");
    QTest::addColumn<int>("failure");

    QTest::newRow("0 lets the system choose") << 0.0 << 0;
    QTest::newRow("0.4 rounds to 0") << 0.4 << 0;
    QTest::newRow("0.5 rounds to even 0") << 0.5 << 0;
    QTest::newRow("-0.5 rounds to 0") << -0.5 << 0;
    QTest::newRow("-1") << -1.0 << int(FailureNumber::PortOutOfRange);
    QTest::newRow("65536") << 65536.0 << int(FailureNumber::PortOutOfRange);
    QTest::newRow("65535.5 rounds to 65536") << 65535.5 << int(FailureNumber::PortOutOfRange);
    QTest::newRow("beyond 32 bits") << 1e12 << int(FailureNumber::Overflow);
}

void tst_DatagramEndpoint::bindRangeAndRounding()
{
    QFETCH(double, port);
    QFETCH(int, failure);
    DatagramEndpoint endpoint;
    QCOMPARE(failureOf([&] { endpoint.Bind(port); }), failure);
    if (failure == 0)
        QVERIFY(endpoint.LocalPort() > 0);
    else
        QCOMPARE(endpoint.LocalPort(), 0);
}

void tst_DatagramEndpoint::remotePortRange_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("-1") << -1 << false;
    QTest::newRow("0") << 0 << true;
    QTest::newRow("65535") << 65535 << true;
    QTest::newRow("65536") << 65536 << false;
    QTest::newRow("largest int") << 2147483647 << false;
}

void tst_DatagramEndpoint::remotePortRange()
{
    QFETCH(int, port);
    QFETCH(bool, accepted);
    DatagramEndpoint endpoint;
    endpoint.setRemotePort(7);
    const qint32 failure = failureOf([&] { endpoint.setRemotePort(port); });
    QCOMPARE(failure, accepted ? 0 : qint32(FailureNumber::PortOutOfRange));
    QCOMPARE(endpoint.RemotePort(), accepted ? port : 7);
}

void tst_DatagramEndpoint::takenPortIsRefused()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0));
    DatagramEndpoint endpoint;
    QString description;
    QCOMPARE(failureOf([&] { endpoint.Bind(holder.localPort()); }, &description),
             qint32(FailureNumber::BindRefused));
    QVERIFY2(description.contains(QString::number(holder.localPort())), qPrintable(description));
    QVERIFY2(description.contains("Address already in use"), qPrintable(description));
    QCOMPARE(endpoint.LocalPort(), 0);

    // The same endpoint may try again elsewhere.
    endpoint.Bind(0);
    QVERIFY(endpoint.LocalPort() > 0);
    QCOMPARE(failureOf([&] { endpoint.Bind(0); }), qint32(FailureNumber::BindRefused));
}

void tst_DatagramEndpoint::privilegedPortSaysHowToGrantIt()
{
    // Binding a low port is refused only without the privilege, so the attempt runs in a child
    // process that has given up root.
    if (geteuid() != 0)
        QSKIP("needs root to start an unprivileged child");
    const QByteArray output = inChildProcess([] {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return QByteArray("setuid failed");
        DatagramEndpoint endpoint;
        QString description = QStringLiteral("bound");
        failureOf([&] { endpoint.Bind(514); }, &description);
        return description.toUtf8();
    });
    const QString description = QString::fromUtf8(output);
    if (description == "bound")
        QSKIP("this system lets anybody bind port 514");
    QVERIFY2(description.contains("port 514"), qPrintable(description));
    QVERIFY2(description.contains("Permission denied"), qPrintable(description));
    QVERIFY2(description.contains("cap_net_bind_service"), qPrintable(description));
    QVERIFY2(description.contains("port of 1024 or more"), qPrintable(description));
}

void tst_DatagramEndpoint::sendFailures_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("bound");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("failure");

    QTest::newRow("remote port 0")
        << "127.0.0.1" << 0 << true << "x" << int(FailureNumber::SendRefused);
    QTest::newRow("not bound") << "127.0.0.1" << 9 << false << "x"
                               << int(FailureNumber::SendRefused);
    QTest::newRow("host name") << "localhost" << 9 << true << "x"
                               << int(FailureNumber::SendRefused);
    QTest::newRow("no host") << "" << 9 << true << "x" << int(FailureNumber::SendRefused);
    QTest::newRow("address followed by NUL") << QString("127.0.0.1") + QChar(0) + "junk" << 9
                                             << true << "x" << int(FailureNumber::SendRefused);
    QTest::newRow("IPv6 address") << "::1" << 9 << true << "x" << int(FailureNumber::SendRefused);
    QTest::newRow("too long for IPv4")
        << "127.0.0.1" << 9 << true << QString(65508, u'x') << int(FailureNumber::SendRefused);
    QTest::newRow("not Latin-1") << "127.0.0.1" << 9 << true << QString::fromUtf8("€")
                                 << int(FailureNumber::NotLatin1);
}

void tst_DatagramEndpoint::sendFailures()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, bound);
    QFETCH(QString, text);
    QFETCH(int, failure);
    DatagramEndpoint endpoint;
    endpoint.setRemoteHost(host);
    endpoint.setRemotePort(port);
    if (bound)
        endpoint.Bind(0);
    QCOMPARE(failureOf([&] { endpoint.SendData(text); }), failure);
}

void tst_DatagramEndpoint::sendToSilentPortIsNoFailure()
{
    QUdpSocket probe; // find a port nobody listens on
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 silent = probe.localPort();
    probe.close();

    DatagramEndpoint endpoint;
    endpoint.setRemoteHost("127.0.0.1");
    endpoint.setRemotePort(silent);
    QSignalSpy arrivals(&endpoint, &DatagramEndpoint::DataArrival);
    endpoint.Bind(0);
    QCOMPARE(failureOf([&] { endpoint.SendData("nobody hears this"); }), 0);
    QTest::qWait(20); // an ICMP "port unreachable" would come back by now
    QCOMPARE(failureOf([&] { endpoint.SendData("nor this"); }), 0);
    // The refusal does not stop the endpoint hearing what comes next.
    QUdpSocket sender;
    sender.writeDatagram("still heard", QHostAddress::LocalHost, quint16(endpoint.LocalPort()));
    QTRY_COMPARE(arrivals.size(), 1);
}

void tst_DatagramEndpoint::closeFreesPortAndAllowsRebind()
{
    DatagramEndpoint endpoint;
    endpoint.Close(); // closing a closed endpoint does nothing
    endpoint.Bind(0);
    const int port = endpoint.LocalPort();
    endpoint.Close();
    endpoint.Close();
    QCOMPARE(endpoint.LocalPort(), 0);

    QUdpSocket other;
    QVERIFY2(other.bind(QHostAddress::AnyIPv4, quint16(port)), "port not free after Close");
    other.close();

    QSignalSpy arrivals(&endpoint, &DatagramEndpoint::DataArrival);
    endpoint.Bind(port);
    QCOMPARE(endpoint.LocalPort(), port);
    QUdpSocket sender;
    sender.writeDatagram("after rebind", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE(arrivals.size(), 1);
}

void tst_DatagramEndpoint::getDataWithNothingWaitingGivesEmptyText()
{
    DatagramEndpoint endpoint;
    QString text = QStringLiteral("old");
    endpoint.GetData(text);
    QVERIFY(text.isEmpty());
    endpoint.Bind(0);
    text = QStringLiteral("old");
    endpoint.GetData(text);
    QVERIFY(text.isEmpty());
}

void tst_DatagramEndpoint::handlersThatTurnTheEventLoopMissNothing()
{
    // Datagrams keep arriving while some handlers turn the event loop, as a message box does: the
    // endpoint must wait until the handler returns to announce the next, whenever it arrived.
    constexpr int Count = 3000;
    DatagramEndpoint endpoint;
    bool inHandler = false;
    int reentered = 0;
    QList<int> received;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        reentered += inHandler ? 1 : 0;
        inHandler = true;
        QString text;
        endpoint.GetData(text);
        received << text.toInt();
        if (received.size() % 7 == 0)
            QTest::qWait(2);
        // A re-entered call would have read 'true' while qWait turned the loop.
        // cppcheck-suppress redundantAssignment
        inHandler = false;
    });
    endpoint.Bind(0);

    std::thread sender([port = quint16(endpoint.LocalPort())] {
        QUdpSocket socket;
        for (int i = 0; i < Count; ++i) {
            socket.writeDatagram(QByteArray::number(i), QHostAddress::LocalHost, port);
            QThread::usleep(100);
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), Count, 60000);
    sender.join();
    QCOMPARE(reentered, 0);
    QVERIFY(std::is_sorted(received.cbegin(), received.cend()));
}

void tst_DatagramEndpoint::blockedWindowThreadLosesNothing()
{
    // The kernel keeps only a dozen datagrams for this small buffer; thousands arrive while this
    // thread, the window's, does nothing but send. Each small burst waits until the reader has
    // taken the one before from the kernel, so the test does not depend on how fast it is.
    constexpr int Count = 5000;
    DatagramEndpoint endpoint;
    int received = 0;
    int outOfOrder = 0;
    qint64 dropped = 0;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        if (text != QString::number(received))
            ++outOfOrder;
        dropped += endpoint.fetchedArrival().droppedBefore;
        ++received;
    });
    endpoint.setReceiveBufferSize(8 * 1024);
    endpoint.Bind(0);

    QUdpSocket sender;
    const auto port = quint16(endpoint.LocalPort());
    for (int i = 0; i < Count; ++i) {
        QCOMPARE(sender.writeDatagram(QByteArray::number(i), QHostAddress::LocalHost, port),
                 QByteArray::number(i).size());
        if (i % 4 == 3) {
            QDeadlineTimer limit(10000);
            while (receiveQueueBytes(port) != 0 && !limit.hasExpired())
                QThread::usleep(100);
            QVERIFY2(!limit.hasExpired(), "the reader stopped taking datagrams from the kernel");
        }
    }
    QCOMPARE(received, 0); // nothing could be announced while the thread was busy

    QTRY_COMPARE_WITH_TIMEOUT(received, Count, 20000);
    QCOMPARE(outOfOrder, 0);
    QCOMPARE(dropped, 0);
}

void tst_DatagramEndpoint::dropsAreCountedWhereTheyHappened()
{
    // The window's thread fetches nothing while thousands are sent, the reader keeps at most 100
    // and the kernel a few: most are dropped. Each datagram that is shown must carry exactly how
    // many were dropped between it and the one before.
    constexpr int Count = 3000;
    DatagramEndpoint endpoint;
    QList<std::pair<int, quint32>> received; // sequence number, dropped before it
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        received.append({ text.toInt(), endpoint.fetchedArrival().droppedBefore });
    });
    std::optional<quint32> systemDrops;
    connect(&endpoint, &DatagramEndpoint::systemDropsCounted, this,
            [&](quint32 total) { systemDrops = total; });
    endpoint.setReceiveBufferSize(4096);
    endpoint.setStoreLimit(100);
    endpoint.Bind(0);

    QUdpSocket sender;
    const auto port = quint16(endpoint.LocalPort());
    for (int i = 0; i < Count; ++i)
        QCOMPARE(sender.writeDatagram(QByteArray::number(i), QHostAddress::LocalHost, port),
                 QByteArray::number(i).size());
    // Drops after the last datagram shown are told by the system's count once the backlog is
    // read, with no datagram after them to carry them
    QTRY_COMPARE_WITH_TIMEOUT(receiveQueueBytes(port), 0, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(received.size() + qint64(systemDrops.value_or(0)), Count, 20000);
    // and by the next datagram: send it once the kernel has room for it.
    sender.writeDatagram(QByteArray::number(Count), QHostAddress::LocalHost, port);
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty() && received.last().first == Count, 20000);

    int previous = -1;
    qint64 dropped = 0;
    for (const auto &[sequence, droppedBefore] : std::as_const(received)) {
        QCOMPARE_GT(sequence, previous);
        QCOMPARE(qint64(droppedBefore), qint64(sequence - previous - 1));
        dropped += droppedBefore;
        previous = sequence;
    }
    QCOMPARE(received.size() + dropped, Count + 1);
    QCOMPARE_GT(dropped, 0);
}

void tst_DatagramEndpoint::closeWakesAnIdleReader()
{
    // A reader waiting on a socket where nothing arrives must stop when the endpoint closes, and
    // not announce anything as it goes.
    std::atomic<bool> closed = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 1000 && !closed; ++i)
            QThread::msleep(10);
        if (!closed)
            qFatal("Close did not return within 10 s: the reader was not woken");
    });
    DatagramEndpoint endpoint;
    QSignalSpy arrivals(&endpoint, &DatagramEndpoint::DataArrival);
    endpoint.Bind(0);
    QTest::qWait(50); // the reader is waiting by now
    endpoint.Close();
    closed = true;
    watchdog.join();
    QTest::qWait(20);
    QCOMPARE(arrivals.size(), 0);
}

void tst_DatagramEndpoint::portHolderIsNamed()
{
    const quint16 port = freePort();
    int ready[2];
    QVERIFY(pipe(ready) == 0);
    const pid_t holder = fork();
    QVERIFY(holder >= 0);
    if (holder == 0) {
        prctl(PR_SET_NAME, "portholder");
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        const char bound =
            ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 ? 1 : 0;
        (void)!write(ready[1], &bound, 1);
        pause(); // until killed
        _exit(0);
    }
    ::close(ready[1]);
    char bound = 0;
    QCOMPARE(read(ready[0], &bound, 1), 1);
    ::close(ready[0]);

    DatagramEndpoint endpoint;
    QString description;
    const qint32 failure = failureOf([&] { endpoint.Bind(port); }, &description);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    QVERIFY(bound);
    QCOMPARE(failure, qint32(FailureNumber::BindRefused));
    const QString named =
        QStringLiteral("Port %1 is held by portholder (process %2).").arg(port).arg(holder);
    QVERIFY2(description.contains(named), qPrintable(description));
}

void tst_DatagramEndpoint::ipv4AloneWhereTheSystemHasNoIpv6()
{
    // In a child process where socket(AF_INET6, ...) fails as on a kernel without IPv6, the
    // endpoint listens on IPv4 alone and works as before.
    const QByteArray report = inChildProcess([] {
        std::array<sock_filter, 6> filter { {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET6, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EAFNOSUPPORT),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        } };
        const sock_fprog program { filter.size(), filter.data() };
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
            || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            return QByteArray("no seccomp");
        if (::socket(AF_INET6, SOCK_DGRAM, 0) >= 0)
            return QByteArray("filter not applied");

        DatagramEndpoint endpoint;
        QString text;
        QObject::connect(&endpoint, &DatagramEndpoint::DataArrival, &endpoint, [&] {
            endpoint.GetData(text);
            text += " from " + endpoint.fetchedArrival().senderText();
        });
        QString bindFailure;
        if (failureOf([&] { endpoint.Bind(0); }, &bindFailure) != 0)
            return bindFailure.toUtf8();
        endpoint.setRemoteHost("127.0.0.1");
        endpoint.setRemotePort(endpoint.LocalPort());
        endpoint.SendData("to myself");
        if (!QTest::qWaitFor([&] { return !text.isEmpty(); }, 10000))
            return QByteArray("nothing arrived");
        return QStringLiteral("%1, %2 port %3")
            .arg(endpoint.isDualStack() ? "IPv6 and IPv4" : "IPv4 alone", text)
            .arg(endpoint.LocalPort())
            .toUtf8();
    });
    QVERIFY2(report.startsWith("IPv4 alone, to myself from 127.0.0.1:"), report.constData());
    const QList<QByteArray> words = report.split(' ');
    // The datagram came from the endpoint's own port.
    QCOMPARE(words.value(words.size() - 3).split(':').value(1), words.last());
}

QTEST_GUILESS_MAIN(tst_DatagramEndpoint)
#include "tst_datagramendpoint.moc"
