// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The bind helper: given a socket pair to answer on, as Harkline gives it, it refuses every call
// but a port it binds (514, or one an administrator lists) and says why; it hands back a bound
// UDP socket, or the reason it could not bind.

#include "BindHelper.h"
#include "BindReply.h"
#include "FreePort.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A helper built to read its list of ports from the test's own file.
QString helper()
{
    return qEnvironmentVariable("HARKLINE_BIND_HELPER");
}

QString portsFile()
{
    return qEnvironmentVariable("HARKLINE_BIND_PORTS");
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

struct Run
{
    int exitCode = -1;
    QByteArray error; // standard error
    std::optional<int> answer; // the error the helper answered on the pair, if it answered
};

// Runs the helper with 'arguments' and, unless 'pipe', a socket pair as its standard input.
Run runHelper(const QStringList &arguments, bool pipe = false)
{
    int pair[2] = { -1, -1 };
    if (!pipe)
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair);
    QProcess process;
    const int childEnd = pair[1];
    process.setChildProcessModifier([childEnd] {
        if (childEnd >= 0)
            dup2(childEnd, STDIN_FILENO);
    });
    process.start(helper(), arguments);
    Run run;
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.error = process.readAllStandardError();
    if (!pipe) {
        close(pair[1]);
        BindReply reply;
        if (recv(pair[0], &reply, sizeof(reply), MSG_DONTWAIT) == sizeof(reply))
            run.answer = reply.error;
        close(pair[0]);
    }
    return run;
}

void writeList(const QByteArray &text, mode_t mode = 0644)
{
    QFile file(portsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    QCOMPARE(chmod(qPrintable(portsFile()), mode), 0);
}

} // namespace

class tst_BindHelper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void refusesAnythingElse_data();
    void refusesAnythingElse();
    void bindsOnlyTheListedPorts_data();
    void bindsOnlyTheListedPorts();
    void bindsAndHandsOverTheSocket();
    void saysWhyItCouldNot();
    void takesOnlyWhatAHelperShouldSend_data();
    void takesOnlyWhatAHelperShouldSend();
};

void tst_BindHelper::initTestCase()
{
    QVERIFY2(QFile::exists(helper()), "HARKLINE_BIND_HELPER names no helper");
    QVERIFY2(!portsFile().isEmpty(), "HARKLINE_BIND_PORTS names no file");
}

void tst_BindHelper::cleanup()
{
    QFile::remove(portsFile());
}

void tst_BindHelper::refusesAnythingElse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("pipe");
    QTest::addColumn<QByteArray>("reason");
    const QByteArray number = "the port must be a number from 1 to 1023";
    const QByteArray oneArgument = "takes one argument, the port";
    QTest::newRow("no port") << QStringList {} << false << oneArgument;
    QTest::newRow("port 0") << QStringList { "0" } << false << number;
    QTest::newRow("port 1024") << QStringList { "1024" } << false << number;
    QTest::newRow("port 65535") << QStringList { "65535" } << false << number;
    QTest::newRow("a leading zero") << QStringList { "0514" } << false << number;
    QTest::newRow("not a number") << QStringList { "51a" } << false << number;
    QTest::newRow("a negative port") << QStringList { "-514" } << false << number;
    QTest::newRow("TCP") << QStringList { "--tcp", "514" } << false << oneArgument;
    QTest::newRow("an extra argument") << QStringList { "514", "tcp" } << false << oneArgument;
    // Standard input a pipe, as from a shell: no socket pair to answer on.
    QTest::newRow("no socket pair")
        << QStringList { "514" } << true << QByteArray("standard input is not a socket pair");
    QTest::newRow("a port nobody listed")
        << QStringList { "162" } << false << QByteArray("port 162 is not one it binds");
}

void tst_BindHelper::refusesAnythingElse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, pipe);
    QFETCH(QByteArray, reason);
    const Run run = runHelper(arguments, pipe);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.error.startsWith("harkline-bind: " + reason), run.error.constData());
    // A port it does not bind is answered on the pair, for Harkline to say what to do.
    QCOMPARE(run.answer, reason.startsWith("port 162") ? std::optional(EPERM) : std::nullopt);
}

void tst_BindHelper::bindsOnlyTheListedPorts_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("taken"); // whether port 162 is bound
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("listed with a comment, beside a mistake")
        << QByteArray("# SNMP traps\n  162\t# from the switches\n16x2\n") << 0644 << true
        << QByteArray("\"16x2\" is not a port");
    QTest::newRow("not listed") << QByteArray("161\n1162\n") << 0644 << false
                                << QByteArray("\"1162\" is not a port");
    QTest::newRow("a list others may change")
        << QByteArray("162\n") << 0666 << false << QByteArray("is not taken");
}

void tst_BindHelper::bindsOnlyTheListedPorts()
{
    QFETCH(QByteArray, list);
    QFETCH(int, mode);
    QFETCH(bool, taken);
    QFETCH(QByteArray, said);
    if (geteuid() != 0)
        QSKIP("only a list that root owns is taken, and only root may bind here without the "
              "capability");
    writeList(list, mode_t(mode));
    const Run run = runHelper({ "162" });
    QVERIFY2(run.error.contains(said), run.error.constData());
    if (!taken) {
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.answer, std::optional(EPERM));
        return;
    }
    // Listed: the system decides, and 162 may be taken by a trap daemon here.
    QVERIFY2(run.exitCode == 0 || run.answer == EADDRINUSE, run.error.constData());
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
    writeList(QByteArray::number(port) + '\n');
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
    // A port the helper does not bind.
    QCOMPARE(bindThroughHelper(helper(), 162, &error), -1);
    QCOMPARE(error, EPERM);
}

void tst_BindHelper::takesOnlyWhatAHelperShouldSend_data()
{
    QTest::addColumn<QString>("how"); // what the fake helper does
    QTest::addColumn<int>("error"); // 0: its socket is taken
    QTest::newRow("as it should") << "good" << 0;
    QTest::newRow("a TCP socket") << "tcp" << EPROTO;
    QTest::newRow("a socket on another port") << "otherport" << EPROTO;
    QTest::newRow("no socket, and no error") << "nosocket" << EPROTO;
    QTest::newRow("two sockets") << "twosockets" << EPROTO;
    QTest::newRow("a short answer") << "short" << EPROTO;
    QTest::newRow("credentials, not a socket") << "credentials" << EPROTO;
    QTest::newRow("no answer") << "silent" << ETIMEDOUT;
    QTest::newRow("an answer, then it does not end") << "lingers" << 0;
    QTest::newRow("an error, and a socket with it") << "errorwithsocket" << EACCES;
}

void tst_BindHelper::takesOnlyWhatAHelperShouldSend()
{
    QFETCH(QString, how);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString fake = dir.filePath("harkline-bind-" + how);
    QVERIFY(QFile::link(qEnvironmentVariable("HARKLINE_FAKE_BIND_HELPER"), fake));
    const quint16 port = freePort();
    const auto openDescriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::AllEntries | QDir::System)
            .size();
    };
    const qsizetype before = openDescriptors();
    int said = 0;
    const int socket = bindThroughHelper(fake, port, &said);
    if (error == 0) {
        QVERIFY2(socket >= 0, strerror(said));
        QCOMPARE(udpPortOf(socket), port);
        close(socket);
    } else {
        QCOMPARE(socket, -1);
        QCOMPARE(said, error);
    }
    QCOMPARE(openDescriptors(), before); // nothing the helper sent is left open
}

QTEST_GUILESS_MAIN(tst_BindHelper)
#include "tst_bindhelper.moc"
