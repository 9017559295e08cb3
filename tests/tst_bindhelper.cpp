// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The bind helper: it refuses every call but a port from 1 to 1023 with a socket pair to answer
// on, and hands back a bound UDP socket, or the reason it could not bind.

#include "BindHelper.h"

#include <QProcess>
#include <QTest>

#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString helper()
{
    return qEnvironmentVariable("HARKLINE_BIND_HELPER");
}

int udpPortOf(int socket)
{
    sockaddr_in6 address {};
    socklen_t length = sizeof(address);
    if (getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) != 0
        || address.sin6_family != AF_INET6)
        return -1;
    return ntohs(address.sin6_port);
}

// A port below 1024 that nothing holds, for a test run as root.
int freePrivilegedPort()
{
    for (int port = 1023; port > 900; --port) {
        const int probe = socket(AF_INET6, SOCK_DGRAM, 0);
        sockaddr_in6 address {};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(quint16(port));
        const bool free = bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
        close(probe);
        if (free)
            return port;
    }
    return 0;
}

} // namespace

class tst_BindHelper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusesAnythingElse_data();
    void refusesAnythingElse();
    void bindsAndHandsOverTheSocket();
    void saysWhyItCouldNot();
};

void tst_BindHelper::initTestCase()
{
    QVERIFY2(QFile::exists(helper()), "HARKLINE_BIND_HELPER names no helper");
}

void tst_BindHelper::refusesAnythingElse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no port") << QStringList {};
    QTest::newRow("port 0") << QStringList { "0" };
    QTest::newRow("port 1024") << QStringList { "1024" };
    QTest::newRow("port 65535") << QStringList { "65535" };
    QTest::newRow("a leading zero") << QStringList { "0514" };
    QTest::newRow("not a number") << QStringList { "51a" };
    QTest::newRow("a negative port") << QStringList { "-514" };
    QTest::newRow("TCP") << QStringList { "--tcp", "514" };
    QTest::newRow("an extra argument") << QStringList { "514", "tcp" };
    // Standard input a pipe, as from a shell: no socket pair to answer on.
    QTest::newRow("no socket pair") << QStringList { "514" };
}

void tst_BindHelper::refusesAnythingElse()
{
    QFETCH(QStringList, arguments);
    QProcess run;
    run.start(helper(), arguments);
    QVERIFY(run.waitForFinished(5000));
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 2);
    QVERIFY(run.readAllStandardError().startsWith("harkline-bind: "));
}

void tst_BindHelper::bindsAndHandsOverTheSocket()
{
    int error = 0;
    if (geteuid() != 0) {
        // The helper built here has no capability: the system refuses it the port, and says so.
        QCOMPARE(bindThroughHelper(helper(), 514, &error), -1);
        QCOMPARE(error, EACCES);
        return;
    }
    const int port = freePrivilegedPort();
    QVERIFY(port > 0);
    const int socket = bindThroughHelper(helper(), port, &error);
    QVERIFY2(socket >= 0, strerror(error));
    int type = 0;
    socklen_t length = sizeof(type);
    QVERIFY(getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) == 0);
    QCOMPARE(type, SOCK_DGRAM);
    QCOMPARE(udpPortOf(socket), port);

    // It is the bound socket itself: what is sent to the port arrives on it, IPv4 included.
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(sendto(sender, "hello", 5, 0, reinterpret_cast<sockaddr *>(&to), sizeof(to)), 5);
    char received[16] = {};
    QCOMPARE(recv(socket, received, sizeof(received), 0), 5);
    QCOMPARE(QByteArray(received), QByteArray("hello"));
    close(sender);

    // The port is held now: a second call is told so.
    QCOMPARE(bindThroughHelper(helper(), port, &error), -1);
    QCOMPARE(error, EADDRINUSE);
    close(socket);
}

void tst_BindHelper::saysWhyItCouldNot()
{
    int error = 0;
    QCOMPARE(bindThroughHelper(QStringLiteral("/nonexistent/harkline-bind"), 514, &error), -1);
    QCOMPARE(error, ENOENT);
    // A program that answers nothing is no helper.
    QCOMPARE(bindThroughHelper(QStringLiteral("/bin/true"), 514, &error), -1);
    QCOMPARE(error, EPROTO);
}

QTEST_GUILESS_MAIN(tst_BindHelper)
#include "tst_bindhelper.moc"
