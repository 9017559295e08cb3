// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace bench {

int g_runs = 5;
bool g_quick = false;

double median(QList<double> values)
{
    if (values.isEmpty())
        return qQNaN();
    std::sort(values.begin(), values.end());
    const qsizetype mid = values.size() / 2;
    return values.size() % 2 ? values.at(mid) : (values.at(mid - 1) + values.at(mid)) / 2;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return qQNaN();
    std::sort(values.begin(), values.end());
    return values.at(std::min<qsizetype>(values.size() - 1, qsizetype(p * double(values.size()))));
}

double cpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

qint64 residentBytes()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

void processEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        processEventsFor(10);
    }
    return true;
}

bool portIsBound(int port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    const bool taken = bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) < 0;
    close(fd);
    return taken;
}

int freePort()
{
    for (int port = 23000 + int(getpid() % 4000); port < 32000; ++port) {
        if (!portIsBound(port))
            return port;
    }
    return 0;
}

QProcess *startSender(int port, quint32 count, int rate, std::int64_t *startNs)
{
    const std::int64_t start = Numbered::nowNs() + SenderLeadNs;
    if (startNs)
        *startNs = start;
    auto *sender = new QProcess;
    sender->setProcessChannelMode(QProcess::ForwardedChannels);
    sender->start(QCoreApplication::applicationFilePath(),
                  { "send", QString::number(port), QString::number(count),
                    QString::number(PayloadSize), QString::number(rate), QString::number(start) });
    sender->waitForStarted();
    return sender;
}

bool finish(QProcess *sender)
{
    if (sender->state() != QProcess::NotRunning) {
        QEventLoop loop;
        QObject::connect(sender, &QProcess::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const bool ok = sender->exitStatus() == QProcess::NormalExit && sender->exitCode() == 0;
    delete sender;
    return ok;
}

BurstResult resultOf(const Numbered::Tally &tally, quint32 count, double seconds)
{
    return { 100.0 * double(tally.received) / count, tally.duplicates, tally.outOfOrder, seconds };
}

Arrival benchArrival(quint32 i)
{
    Arrival arrival;
    arrival.timeNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000 + qint64(i) * 20'000;
    arrival.port = quint16(514 + i % 7);
    arrival.address = { 192, 0, 2, quint8(1 + i % 3) };
    return arrival;
}

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

BurstResult burstBare(quint32 count, int rate, double *cpuSeconds)
{
    const int port = freePort();
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int buffer = 4 * 1024 * 1024;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) < 0)
        return {};
    timeval timeout { 0, 300000 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));

    QByteArray received;
    received.reserve(qsizetype(count) * PayloadSize);
    std::int64_t last = 0;
    std::thread reader([&] {
        const double cpuStart = threadCpuSeconds();
        constexpr int Batch = 64;
        constexpr std::size_t Slot = 2048;
        std::vector<char> buffers(Batch * Slot);
        std::vector<iovec> vectors(Batch);
        std::vector<mmsghdr> messages(Batch);
        for (int i = 0; i < Batch; ++i) {
            vectors[i] = { buffers.data() + std::size_t(i) * Slot, Slot };
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        for (;;) {
            const int n = recvmmsg(fd, messages.data(), Batch, MSG_WAITFORONE, nullptr);
            if (n <= 0)
                break; // 300 ms of silence
            for (int i = 0; i < n; ++i)
                received.append(buffers.data() + std::size_t(i) * Slot, messages[i].msg_len);
            last = Numbered::nowNs();
        }
        if (cpuSeconds)
            *cpuSeconds = threadCpuSeconds() - cpuStart;
    });
    std::int64_t start = 0;
    finish(startSender(port, count, rate, &start));
    reader.join();
    close(fd);
    return resultOf(Numbered::count(received, count), count, double(last - start) / 1e9);
}

void printTarget(const char *name, const QString &figure, const QString &target, bool met)
{
    std::printf("  %-44s %-34s target %-22s %s\n", name, qPrintable(figure), qPrintable(target),
                met ? "MET" : "NOT MET");
    std::fflush(stdout);
}

void prefill(Harkline &harkline, int lines, quint32 firstNumber)
{
    for (int i = 0; i < lines; ++i) {
        QByteArray payload = Numbered::payload(firstNumber + quint32(i), PayloadSize);
        payload.chop(1);
        harkline.window.appendLogLine(QString::fromLatin1(payload), benchArrival(quint32(i)));
        if (i % 10000 == 9999)
            QCoreApplication::processEvents();
    }
    // The box inserts a frame's worth at a time: what is still waiting must not be measured.
    harkline.log->insertPending();
    processEventsFor(200);
    harkline.log->verticalScrollBar()->setValue(harkline.log->verticalScrollBar()->maximum());
    processEventsFor(200);
}

void setShowOnly(Harkline &harkline, const QString &text)
{
    for (QAction *action : harkline.log->actions()) {
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F))
            action->trigger();
    }
    if (auto *field = harkline.log->findChild<QLineEdit *>(QStringLiteral("filterField")))
        field->setText(text);
}

double cpuPerDatagramUs(int lines, quint32 count, const QString &rule,
                        const std::optional<QString> &viewFilter)
{
    Harkline harkline;
    harkline.log->setMarginShown(true);
    if (!rule.isEmpty())
        setShowOnly(harkline, rule);
    if (viewFilter) {
        harkline.log->openLogView();
        auto *filter = harkline.window.findChild<QLineEdit *>(QStringLiteral("viewFilterField"));
        filter->setText(*viewFilter);
        processEventsFor(500); // past the pause after typing
    }
    if (lines > 0)
        prefill(harkline, lines, count);
    const double before = cpuSeconds();
    finish(startSender(harkline.port, count, 50000));
    waitUntil([&] { return harkline.received() >= lines + qint64(count); }, 60000);
    harkline.log->insertPending();
    const double used = cpuSeconds() - before;
    return used / count * 1e6;
}

} // namespace bench
