// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DatagramEndpoint.h"
#include "Failure.h"
#include "Payload.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <atomic>
#include <functional>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

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
    void datagramsWaitingTogetherAreAnnouncedOneByOne();
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
    void handlersAreNeverReentered();
    void busyThreadLosesNothing();
    void longFloodIsShownAsItGoes();
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
    endpoint.Bind(0);
    QSignalSpy arrivals(&endpoint, &DatagramEndpoint::DataArrival);

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

void tst_DatagramEndpoint::datagramsWaitingTogetherAreAnnouncedOneByOne()
{
    DatagramEndpoint endpoint;
    endpoint.Bind(0);
    QStringList received;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        received << text;
    });

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
    endpoint.setRemoteHost("127.0.0.1");
    endpoint.setRemotePort(0); // does not restrict who is heard
    endpoint.Bind(0);
    QStringList received;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        received << text;
    });

    QUdpSocket first;
    QUdpSocket second;
    const auto port = quint16(endpoint.LocalPort());
    first.writeDatagram("from first", QHostAddress::LocalHost, port);
    QTRY_COMPARE(received.size(), 1);
    second.writeDatagram("from second", QHostAddress::LocalHost, port);
    QTRY_COMPARE(received.size(), 2);
    first.writeDatagram("first again", QHostAddress("127.0.0.2"), port); // any local address
    QTRY_COMPARE(received.size(), 3);
    QCOMPARE(received, QStringList({ "from first", "from second", "first again" }));
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
    int pipeFds[2];
    QVERIFY(pipe(pipeFds) == 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        QString description = QStringLiteral("setuid failed");
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            DatagramEndpoint endpoint;
            description = QStringLiteral("bound");
            failureOf([&] { endpoint.Bind(514); }, &description);
        }
        const QByteArray bytes = description.toUtf8();
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
    waitpid(child, nullptr, 0);

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
    endpoint.Bind(0);
    endpoint.SendData("nobody hears this");
    QTest::qWait(20); // an ICMP "port unreachable" would come back by now
    endpoint.SendData("nor this");
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

    endpoint.Bind(port);
    QCOMPARE(endpoint.LocalPort(), port);
    QSignalSpy arrivals(&endpoint, &DatagramEndpoint::DataArrival);
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

void tst_DatagramEndpoint::handlersAreNeverReentered()
{
    DatagramEndpoint endpoint;
    endpoint.Bind(0);
    bool inHandler = false;
    bool reentered = false;
    QStringList received;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        reentered = reentered || inHandler;
        inHandler = true;
        QString text;
        endpoint.GetData(text);
        received << text;
        if (received.size() == 1)
            QTest::qWait(100); // a handler that turns the event loop, as a message box does
        // A re-entered call would have read 'true' while qWait turned the loop.
        // cppcheck-suppress redundantAssignment
        inHandler = false;
    });

    QUdpSocket sender;
    const auto port = quint16(endpoint.LocalPort());
    sender.writeDatagram("1", QHostAddress::LocalHost, port);
    QTRY_COMPARE(received.size(), 1);
    for (const char *payload : { "2", "3", "4" })
        sender.writeDatagram(payload, QHostAddress::LocalHost, port);
    QTRY_COMPARE(received.size(), 4);
    QVERIFY(!reentered);
    QCOMPARE(received, QStringList({ "1", "2", "3", "4" }));
}

void tst_DatagramEndpoint::busyThreadLosesNothing()
{
    // The kernel keeps only a few hundred datagrams for a small buffer; 20,000 arrive while this
    // thread does nothing but send. Every one must still be announced, in order.
    constexpr int Count = 20000;
    DatagramEndpoint endpoint;
    endpoint.setReceiveBufferSize(128 * 1024); // the kernel doubles it: room for about 300
    endpoint.Bind(0);
    int received = 0;
    int outOfOrder = 0;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        if (text != QString::number(received))
            ++outOfOrder;
        ++received;
    });

    QUdpSocket sender;
    const auto port = quint16(endpoint.LocalPort());
    QElapsedTimer busy;
    busy.start();
    for (int i = 0; i < Count; ++i) {
        sender.writeDatagram(QByteArray::number(i), QHostAddress::LocalHost, port);
        if (i % 10 == 9) // about half a second in all, in bursts the buffer can hold
            QThread::usleep(250);
    }
    while (busy.elapsed() < 500)
        QThread::usleep(1000);
    QCOMPARE(received, 0); // nothing could be announced while the thread was busy

    QTRY_COMPARE_WITH_TIMEOUT(received, Count, 20000);
    QCOMPARE(outOfOrder, 0);
}

void tst_DatagramEndpoint::longFloodIsShownAsItGoes()
{
    // A flood too fast to show line by line holds the window back from its start, but not for
    // the whole flood: a few of what came are announced a few times a second, and after the first
    // second, when it is no burst, everything at the window's own pace.
    DatagramEndpoint endpoint;
    endpoint.Bind(0);
    QElapsedTimer clock;
    QList<qint64> arrivalTimes;
    // The window's passes: the arrivals of one come less than a millisecond apart.
    struct Pass
    {
        qint64 startMs;
        int size;
    };
    QList<Pass> passes;
    qint64 lastArrivalUs = -1000;
    connect(&endpoint, &DatagramEndpoint::DataArrival, this, [&] {
        QString text;
        endpoint.GetData(text);
        const qint64 us = clock.nsecsElapsed() / 1000;
        if (us - lastArrivalUs >= 1000)
            passes.append({ us / 1000, 0 });
        ++passes.last().size;
        lastArrivalUs = us;
        arrivalTimes.append(us / 1000);
    });

    constexpr qint64 FloodMs = 1500;
    std::atomic<bool> sending = true;
    const int port = endpoint.LocalPort();
    clock.start();
    std::thread sender([&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const char payload[80] = {};
        while (clock.elapsed() < FloodMs) {
            for (int i = 0; i < 64; ++i)
                ::sendto(fd, payload, sizeof(payload), 0, reinterpret_cast<sockaddr *>(&to),
                         sizeof(to));
        }
        ::close(fd);
        sending = false;
    });
    // A real event loop, as the window's: QTest's waits sleep between looks.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!sending)
            loop.quit();
    });
    poll.start(10);
    loop.exec();
    sender.join();

    // Held back from its start: no short pass in the first 200 ms, and short passes in the rest
    // of the first second. (On a busy machine the sender can pause long enough for the flood to
    // seem over for a moment; the window then makes full passes.)
    QVERIFY(!arrivalTimes.isEmpty());
    bool shortPass = false;
    for (const Pass &pass : std::as_const(passes)) {
        if (pass.startMs < 200)
            QCOMPARE_GT(pass.size, 16);
        else if (pass.startMs < 990 && pass.size <= 16)
            shortPass = true;
    }
    QVERIFY(shortPass);
    // Then within the flood's first part, and never silent for long while it lasted.
    QCOMPARE_LT(arrivalTimes.first(), 500);
    // (A quarter of a second, with room for a busy machine.)
    constexpr qint64 LongestSilenceMs = 750;
    qint64 longestSilence = 0;
    qint64 lastDuringFlood = arrivalTimes.first();
    for (qsizetype i = 1; i < arrivalTimes.size() && arrivalTimes.at(i) < FloodMs; ++i) {
        longestSilence = std::max(longestSilence, arrivalTimes.at(i) - arrivalTimes.at(i - 1));
        lastDuringFlood = arrivalTimes.at(i);
    }
    QCOMPARE_LT(longestSilence, LongestSilenceMs);
    QCOMPARE_GT(lastDuringFlood, FloodMs - LongestSilenceMs);
    // Held back, the last 400 ms would see one or two steps of 128.
    const auto lateArrivals = std::count_if(arrivalTimes.cbegin(), arrivalTimes.cend(),
                                            [](qint64 t) { return t >= 1100 && t < FloodMs; });
    QCOMPARE_GT(lateArrivals, 10 * 128);
}

QTEST_GUILESS_MAIN(tst_DatagramEndpoint)
#include "tst_datagramendpoint.moc"
