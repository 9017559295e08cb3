// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DatagramEndpoint.h"
#include "Failure.h"
#include "MemoryView.h"
#include "ReceiverController.h"

#include "FreePort.h"
#include <QNetworkDatagram>
#include <QSignalSpy>

#include <QTest>
#include <QUdpSocket>

#include <functional>
#include <memory>

#include <unistd.h>

namespace {

const QString CheckPrefix = QStringLiteral("Reception is OK on UDP port : ");
const QStringList Listening = { "start=0", "stop=1", "check=1" };

qint32 failureOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const Failure &failure) {
        return failure.number();
    }
    return 0;
}

bool portIsFree(int port)
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::AnyIPv4, quint16(port));
}

} // namespace

// The controller wired as the window wires it, with two real endpoints.
struct Receiver
{
    MemoryView view;
    DatagramEndpoint WinsockUDP;
    DatagramEndpoint Winsock1;
    ReceiverController controller { view, WinsockUDP, Winsock1 };

    Receiver()
    {
        QObject::connect(
            &WinsockUDP, &DatagramEndpoint::DataArrival, &WinsockUDP,
            [this](qint32 bytesTotal) { controller.WinsockUDP_DataArrival(bytesTotal); });
    }

    // Start on 'port', expecting it to be accepted.
    bool start(int port)
    {
        view.port = QString::number(port);
        controller.Command1_Click();
        return WinsockUDP.LocalPort() == port;
    }
};

class tst_ReceiverController : public QObject
{
    Q_OBJECT

private slots:
    void startRefusesPort_data();
    void startRefusesPort();
    void startAcceptsPort_data();
    void startAcceptsPort();
    void startOnTakenPortRaisesWithStopNeverShown();
    void startOverflowTouchesNothing();
    void checkComesBackAsNewestLine_data();
    void checkComesBackAsNewestLine();
    void checkToAnotherPortLeavesLogAlone();
    void checkFailures_data();
    void checkFailures();
    void arrivalsAppendPayloadAndLineEnd_data();
    void arrivalsAppendPayloadAndLineEnd();
    void arrivalsFromTwoSendersInOrder();
    void typedLogTextIsKept();
    void stopClosesThenUnloads();
    void teardownClosesAndMayRunTwice();
};

void tst_ReceiverController::startRefusesPort_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : { "0", "-5", "abc", "", "32001", "32000.5", "&HFFFF", "   " })
        QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
}

void tst_ReceiverController::startRefusesPort()
{
    QFETCH(QString, text);
    Receiver receiver;
    receiver.view.port = text;
    receiver.controller.Command1_Click();
    QCOMPARE(receiver.view.changes, QStringList({ "port=514" }));
    QCOMPARE(receiver.WinsockUDP.LocalPort(), 0);
}

void tst_ReceiverController::startAcceptsPort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port"); // 0: the system's choice

    const QString free = QString::number(freePort());
    QTest::newRow("free port") << free << free.toInt();
    QTest::newRow("trailing letters") << free + "abc" << free.toInt();
    QTest::newRow("two leading blanks") << "  " + free << free.toInt();
    QTest::newRow("blank among the digits") << free.left(2) + " " + free.mid(2) << free.toInt();
    QTest::newRow("0.4 lets the system choose") << "0.4" << 0;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("32000") << "32000" << 32000;
    QTest::newRow("&H7D00") << "&H7D00" << 32000;
    QTest::newRow("514abc") << "514abc" << 514;
    QTest::newRow("5 14") << "5 14" << 514;
}

void tst_ReceiverController::startAcceptsPort()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    if (port != 0 && port < 1024 && geteuid() != 0)
        QSKIP("ports below 1024 need root here");
    if (port != 0 && !portIsFree(port))
        QSKIP("another program holds this port");

    Receiver receiver;
    receiver.view.port = text;
    receiver.controller.Command1_Click();
    QCOMPARE(receiver.view.changes, Listening);
    QCOMPARE(receiver.view.port, text);
    if (port == 0)
        QVERIFY(receiver.WinsockUDP.LocalPort() > 0);
    else
        QCOMPARE(receiver.WinsockUDP.LocalPort(), port);
}

void tst_ReceiverController::startOnTakenPortRaisesWithStopNeverShown()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, freePort()));
    Receiver receiver;
    receiver.view.port = QString::number(holder.localPort());
    QCOMPARE(failureOf([&] { receiver.controller.Command1_Click(); }),
             qint32(FailureNumber::BindRefused));
    QVERIFY(receiver.view.changes.isEmpty());
    QVERIFY(receiver.view.startVisible);
    QVERIFY(!receiver.view.stopVisible);
}

void tst_ReceiverController::startOverflowTouchesNothing()
{
    Receiver receiver;
    receiver.view.port = "1E400";
    QCOMPARE(failureOf([&] { receiver.controller.Command1_Click(); }),
             qint32(FailureNumber::Overflow));
    QVERIFY(receiver.view.changes.isEmpty());
    QCOMPARE(receiver.view.port, QStringLiteral("1E400"));
}

void tst_ReceiverController::checkComesBackAsNewestLine_data()
{
    startAcceptsPort_data();
}

void tst_ReceiverController::checkComesBackAsNewestLine()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    if (port == 0)
        QSKIP("a check goes to the port in the box, not to a port the system chose");
    if (port < 1024 && geteuid() != 0)
        QSKIP("ports below 1024 need root here");
    if (!portIsFree(port))
        QSKIP("another program holds this port");

    Receiver receiver;
    receiver.view.port = text;
    receiver.controller.Command1_Click();
    receiver.view.log = "earlier\r\n";
    receiver.controller.CMD_Check_Click();
    QTRY_COMPARE(receiver.view.log, "earlier\r\n" + CheckPrefix + text + "\r\n");
    QCOMPARE(receiver.Winsock1.LocalPort(), 0); // closed again
}

void tst_ReceiverController::checkToAnotherPortLeavesLogAlone()
{
    Receiver receiver;
    QVERIFY(receiver.start(freePort()));
    QUdpSocket other;
    QVERIFY(other.bind(QHostAddress::LocalHost, freePort()));
    receiver.view.port = QString::number(other.localPort());

    QCOMPARE(failureOf([&] { receiver.controller.CMD_Check_Click(); }), 0);
    QTRY_VERIFY(other.hasPendingDatagrams());
    QCOMPARE(other.receiveDatagram().data(), (CheckPrefix + receiver.view.port).toLatin1());
    QTest::qWait(50);
    QVERIFY(receiver.view.log.isEmpty());
}

void tst_ReceiverController::checkFailures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("failure");
    QTest::addColumn<bool>("leftBound");

    // An empty or non-numeric box reads as port 0, which cannot be sent to.
    QTest::newRow("empty") << "" << int(FailureNumber::SendRefused) << true;
    QTest::newRow("abc") << "abc" << int(FailureNumber::SendRefused) << true;
    QTest::newRow("0.5 rounds to 0") << "0.5" << int(FailureNumber::SendRefused) << true;
    QTest::newRow("65536") << "65536" << int(FailureNumber::PortOutOfRange) << false;
    QTest::newRow("-1") << "-1" << int(FailureNumber::PortOutOfRange) << false;
    QTest::newRow("1E400") << "1E400" << int(FailureNumber::Overflow) << false;
    QTest::newRow("1E10") << "1E10" << int(FailureNumber::Overflow) << false;
    QTest::newRow("not Latin-1") << QString::fromUtf8("9€") << int(FailureNumber::NotLatin1)
                                 << true;
}

void tst_ReceiverController::checkFailures()
{
    QFETCH(QString, text);
    QFETCH(int, failure);
    QFETCH(bool, leftBound);
    Receiver receiver;
    QVERIFY(receiver.start(freePort()));
    receiver.view.port = text;
    QCOMPARE(failureOf([&] { receiver.controller.CMD_Check_Click(); }), failure);
    QCOMPARE(receiver.Winsock1.RemoteHost(), QStringLiteral("127.0.0.1"));
    QCOMPARE(receiver.Winsock1.LocalPort() > 0, leftBound);
}

void tst_ReceiverController::arrivalsAppendPayloadAndLineEnd_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("line");

    QTest::newRow("text") << QByteArray("<13>hello") << "<13>hello\r\n";
    QTest::newRow("empty datagram is an empty line") << QByteArray() << "\r\n";
    QTest::newRow("CR LF inside") << QByteArray("a\r\nb") << "a\r\nb\r\n";
    QTest::newRow("trailing line feed kept") << QByteArray("echo\n") << "echo\n\r\n";
    QTest::newRow("blanks not trimmed") << QByteArray("  x  ") << "  x  \r\n";
    QTest::newRow("NUL does not cut") << QByteArray("a\0b", 3) << QString("a") + QChar(0) + "b\r\n";
    QTest::newRow("bytes above 127")
        << QByteArray("caf\xE9 \xB0 \xFF") << QString::fromUtf8("café ° ÿ\r\n");
    QByteArray largest(65507, 'z');
    largest.back() = '!';
    QTest::newRow("largest IPv4 datagram whole")
        << largest << QString::fromLatin1(largest) + "\r\n";
}

void tst_ReceiverController::arrivalsAppendPayloadAndLineEnd()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, line);
    Receiver receiver;
    QVERIFY(receiver.start(freePort()));
    receiver.view.log = "before\r\n";
    QUdpSocket sender;
    sender.writeDatagram(payload, QHostAddress::LocalHost,
                         quint16(receiver.WinsockUDP.LocalPort()));
    QTRY_COMPARE(receiver.view.log, "before\r\n" + line);
}

void tst_ReceiverController::arrivalsFromTwoSendersInOrder()
{
    Receiver receiver;
    QVERIFY(receiver.start(freePort()));
    const auto port = quint16(receiver.WinsockUDP.LocalPort());
    QUdpSocket first;
    QUdpSocket second;
    QString expected;
    for (int i = 0; i < 50; ++i) {
        QUdpSocket &sender = i % 2 ? second : first;
        const QByteArray payload = (i % 2 ? "second " : "first ") + QByteArray::number(i);
        sender.writeDatagram(payload, QHostAddress::LocalHost, port);
        expected += QString::fromLatin1(payload) + "\r\n";
    }
    QTRY_COMPARE(receiver.view.log, expected);
}

void tst_ReceiverController::typedLogTextIsKept()
{
    Receiver receiver;
    QVERIFY(receiver.start(freePort()));
    const auto port = quint16(receiver.WinsockUDP.LocalPort());
    QUdpSocket sender;
    sender.writeDatagram("one", QHostAddress::LocalHost, port);
    QTRY_COMPARE(receiver.view.log, QStringLiteral("one\r\n"));

    receiver.view.log = "on my own note"; // the user typed over the log, no line end
    sender.writeDatagram("two", QHostAddress::LocalHost, port);
    QTRY_COMPARE(receiver.view.log, QStringLiteral("on my own notetwo\r\n"));
    receiver.view.log.clear();
    sender.writeDatagram("three", QHostAddress::LocalHost, port);
    QTRY_COMPARE(receiver.view.log, QStringLiteral("three\r\n"));
}

void tst_ReceiverController::stopClosesThenUnloads()
{
    Receiver receiver;
    const quint16 port = freePort();
    QVERIFY(receiver.start(port));
    receiver.view.changes.clear();
    receiver.controller.Command2_Click();
    QCOMPARE(receiver.view.changes, QStringList({ "unload" }));
    QCOMPARE(receiver.WinsockUDP.LocalPort(), 0);
    QVERIFY(portIsFree(port));
}

void tst_ReceiverController::teardownClosesAndMayRunTwice()
{
    const quint16 port = freePort();
    {
        Receiver receiver;
        QVERIFY(receiver.start(port));
        receiver.controller.Form_Terminate();
        QVERIFY(portIsFree(port));
        receiver.controller.Form_Terminate();
        QVERIFY(receiver.view.changes == Listening);
    }
    // Destroying a listening receiver frees its port too.
    auto receiver = std::make_unique<Receiver>();
    QVERIFY(receiver->start(port));
    receiver.reset();
    QVERIFY(portIsFree(port));
}

QTEST_GUILESS_MAIN(tst_ReceiverController)
#include "tst_receivercontroller.moc"
