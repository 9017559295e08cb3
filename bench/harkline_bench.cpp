// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Measures Harkline's receive path and window against the tools a user would otherwise reach for
// and against a bare receiver, on the same bursts, in one run. Prints each target beside its
// figure. Usage: harkline-bench [--runs N] [--quick]
//                harkline-bench send PORT COUNT SIZE RATE   (the sender, run as its own process)

#include "ArrivalCsv.h"
#include "ArrivalJson.h"
#include "ArrivalRecord.h"
#include "Compression.h"
#include "FRM_Harkline.h"
#include "LineFilter.h"
#include "LogBox.h"
#include "LogFeed.h"
#include "LogSamples.h"
#include "SaveProgress.h"
#include "Sender.h"
#include "WindowWatch.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <numeric>
#include <optional>

#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int PayloadSize = 80;

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

// Waiting turns a real event loop, which sleeps when there is nothing to do: a loop that spins
// would take the CPU that the receivers under test need.
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

// How much receive buffer a socket may ask for (net.core.rmem_max). Stock Debian allows 212,992
// bytes; the Debian package raises it to 4 MiB. A run measures at the values it names and puts
// the machine's own value back at the end, also when stopped by a signal.
class BufferLimit
{
public:
    static constexpr qint64 Stock = 212992;
    static constexpr qint64 Package = qint64(4) * 1024 * 1024;

    BufferLimit()
    {
        m_old = read();
        std::snprintf(s_oldText, sizeof(s_oldText), "%lld", static_cast<long long>(m_old));
        for (const int signal : { SIGINT, SIGTERM, SIGHUP })
            std::signal(signal, restoreAndDie);
    }
    ~BufferLimit()
    {
        if (read() != m_old)
            write(m_old);
    }
    // False when this user may not change it.
    static bool set(qint64 value) { return read() == value || write(value); }
    static qint64 read()
    {
        QFile file("/proc/sys/net/core/rmem_max");
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

private:
    static inline char s_oldText[32] = {};
    static void restoreAndDie(int signal)
    {
        const int fd = ::open("/proc/sys/net/core/rmem_max", O_WRONLY);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t written = ::write(fd, s_oldText, std::strlen(s_oldText));
            ::close(fd);
        }
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    static bool write(qint64 value)
    {
        QFile file("/proc/sys/net/core/rmem_max");
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(value)) > 0;
    }
    qint64 m_old = 0;
};

// The sender starts sending at a set time, once it has been started and has loaded its
// libraries, so that what the receiver's process does to start it is not measured with it.
constexpr std::int64_t SenderLeadNs = 150'000'000;

QProcess *startSender(int port, quint32 count, int rate, std::int64_t *startNs = nullptr)
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

// Waits, turning the event loop, for the process to end; true when it ended well.
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

struct BurstResult
{
    double receivedPercent = 0;
    qint64 duplicates = 0;
    qint64 outOfOrder = 0;
    double seconds = 0; // from the first datagram sent to the last one written down
};

BurstResult resultOf(const Numbered::Tally &tally, quint32 count, double seconds)
{
    return { 100.0 * double(tally.received) / count, tally.duplicates, tally.outOfOrder, seconds };
}

// Harkline's own window, offscreen, started on the port as a user would.
struct Harkline
{
    FRM_Harkline window;
    LogBox *log = window.findChild<LogBox *>("TXT_Input");
    int port = freePort();

    Harkline()
    {
        window.show();
        window.setPortText(QString::number(port));
        window.findChild<QAbstractButton *>("Command1")->click();
        // A user's window has been on the screen a while before a burst comes: let the first
        // layout and paint (fonts, style) happen first.
        processEventsFor(300);
    }
    ~Harkline()
    {
        if (window.isVisible())
            window.findChild<QAbstractButton *>("Command2")->click();
    }
    int lines() const { return log->document()->blockCount() - 1; }
    // Datagrams that arrived, whether their lines are still in the box or moved out.
    qint64 received() const { return log->model().arrivals().size(); }
    // Turns the event loop until the log has stopped growing for 'quietMs'.
    void settle(int quietMs = 300)
    {
        int last = -1;
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < quietMs) {
            processEventsFor(20);
            if (lines() != last) {
                last = lines();
                quiet.restart();
            }
        }
    }
};

// An arrival as the network gives it: a few senders, a time that moves on.
Arrival benchArrival(quint32 i)
{
    Arrival arrival;
    arrival.timeNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000 + qint64(i) * 20'000;
    arrival.port = quint16(514 + i % 7);
    arrival.address = { 192, 0, 2, quint8(1 + i % 3) };
    return arrival;
}

BurstResult burstHarkline(quint32 count)
{
    Harkline harkline;
    std::int64_t startNs = 0;
    finish(startSender(harkline.port, count, 0, &startNs));
    const double start = double(startNs) / 1e9;
    harkline.settle();
    const double end = double(Numbered::nowNs()) / 1e9 - 0.3;
    return resultOf(Numbered::count(harkline.window.logText().toLatin1(), count), count,
                    end - start);
}

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A receiving thread that does nothing but read into memory; sent 'count' at 'rate' a second (0:
// full speed). 'cpuSeconds', when given, gets the CPU time the thread used.
BurstResult burstBare(quint32 count, int rate = 0, double *cpuSeconds = nullptr)
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

// An outside tool that writes what it receives to standard output.
std::optional<BurstResult> burstTool(const QString &program, const QStringList &arguments, int port,
                                     quint32 count)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return std::nullopt;
    QTemporaryDir dir;
    const QString output = dir.filePath("received");
    QProcess tool;
    tool.setStandardOutputFile(output);
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!waitUntil([&] { return portIsBound(port); }, 5000))
        return std::nullopt;

    std::int64_t start = 0;
    finish(startSender(port, count, 0, &start));
    qint64 size = -1;
    QElapsedTimer quiet;
    quiet.start();
    std::int64_t last = Numbered::nowNs();
    while (quiet.elapsed() < 300) {
        QThread::msleep(20);
        const qint64 now = QFileInfo(output).size();
        if (now != size) {
            size = now;
            last = Numbered::nowNs();
            quiet.restart();
        }
    }
    tool.kill();
    tool.waitForFinished();
    QFile file(output);
    file.open(QIODevice::ReadOnly);
    return resultOf(Numbered::count(file.readAll(), count), count, double(last - start) / 1e9);
}

void printTarget(const char *name, const QString &figure, const QString &target, bool met)
{
    std::printf("  %-44s %-34s target %-22s %s\n", name, qPrintable(figure), qPrintable(target),
                met ? "MET" : "NOT MET");
    std::fflush(stdout);
}

struct BurstRow
{
    QString name;
    std::function<std::optional<BurstResult>()> run;
};

// Runs each receiver on the same bursts, prints a table, and Harkline's figure against the target.
void burstTable(const QList<BurstRow> &rows, const char *target)
{
    std::printf("  %-22s %10s %10s %10s %12s %10s %14s\n", "receiver", "received", "worst", "dups",
                "reordered", "seconds", "vs bare");
    double bareReceived = 0;
    double harklineWorst = 100;
    qint64 harklineDisorder = 0;
    for (const BurstRow &row : rows) {
        QList<double> received, seconds;
        qint64 duplicates = 0, outOfOrder = 0;
        bool available = true;
        for (int run = 0; run < g_runs && available; ++run) {
            const std::optional<BurstResult> result = row.run();
            available = result.has_value();
            if (!available)
                break;
            received << result->receivedPercent;
            seconds << result->seconds;
            duplicates = std::max(duplicates, result->duplicates);
            outOfOrder = std::max(outOfOrder, result->outOfOrder);
            if (row.name.startsWith("Harkline")) {
                harklineWorst = std::min(harklineWorst, result->receivedPercent);
                harklineDisorder += result->duplicates + result->outOfOrder;
            }
        }
        if (!available) {
            std::printf("  %-22s not installed\n", qPrintable(row.name));
            continue;
        }
        if (row.name.startsWith("bare"))
            bareReceived = median(received);
        std::printf("  %-22s %9.2f%% %9.2f%% %10lld %12lld %10.3f %13.3fx\n", qPrintable(row.name),
                    median(received), *std::min_element(received.cbegin(), received.cend()),
                    static_cast<long long>(duplicates), static_cast<long long>(outOfOrder),
                    median(seconds), bareReceived > 0 ? median(received) / bareReceived : qQNaN());
    }
    printTarget(target,
                QStringLiteral("%1% received, %2 out of place")
                    .arg(harklineWorst, 0, 'f', 2)
                    .arg(harklineDisorder),
                "100%, 0", harklineWorst == 100 && harklineDisorder == 0);
}

void benchBurst()
{
    const quint32 count = g_quick ? 20000 : 100000;
    std::printf(
        "\n1. Burst: %u datagrams of %d bytes at the sender's full speed, median of %d runs, "
        "net.core.rmem_max %lld\n",
        count, PayloadSize, g_runs, static_cast<long long>(BufferLimit::read()));
    const BurstRow bare { "bare recvmmsg", [&] { return std::optional(burstBare(count)); } };
    const BurstRow harkline { "Harkline (window)",
                              [&] { return std::optional(burstHarkline(count)); } };
    burstTable({ bare,
                 harkline,
                 { "socat -u UDP-RECV",
                   [&] {
                       const int port = freePort();
                       return burstTool("socat",
                                        { "-u", QStringLiteral("UDP-RECV:%1").arg(port), "STDOUT" },
                                        port, count);
                   } },
                 { "nc -lku",
                   [&] {
                       const int port = freePort();
                       return burstTool("nc", { "-lku", QString::number(port) }, port, count);
                   } } },
               "Harkline shows all, in order (worst run)");

    const qint64 limit = BufferLimit::read();
    if (!BufferLimit::set(BufferLimit::Package)) {
        std::printf("  (as root, the same again with the Debian package's 4 MiB limit)\n");
        return;
    }
    std::printf("\n1b. The same with the Debian package's net.core.rmem_max, %lld\n",
                static_cast<long long>(BufferLimit::Package));
    burstTable({ bare, harkline }, "Harkline shows all, in order (worst run)");
    BufferLimit::set(limit);
}

void benchSustained()
{
    const int rate = 50000;
    const int seconds = g_quick ? 3 : 10;
    const quint32 count = quint32(rate * seconds);
    std::printf("\n2. Sustained: %d datagrams/s for %d s\n", rate, seconds);

    Harkline harkline;
    QList<std::int64_t> paints;
    struct PaintCounter : QObject
    {
        QList<std::int64_t> *paints;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                *paints << Numbered::nowNs();
            return false;
        }
    } counter;
    counter.paints = &paints;
    harkline.log->viewport()->installEventFilter(&counter);

    std::int64_t start = 0;
    QProcess *sender = startSender(harkline.port, count, rate, &start);
    finish(sender);
    const std::int64_t end = Numbered::nowNs();
    harkline.settle();
    const Numbered::Tally tally = Numbered::count(harkline.window.logText().toLatin1(), count);

    // The fewest repaints in any whole second of the flood.
    int fewest = INT_MAX;
    for (std::int64_t from = start; from + 1'000'000'000 <= end; from += 100'000'000) {
        const auto inSecond = std::count_if(paints.cbegin(), paints.cend(), [&](std::int64_t t) {
            return t >= from && t < from + 1'000'000'000;
        });
        fewest = std::min(fewest, int(inSecond));
    }
    printTarget("nothing lost",
                QStringLiteral("%1 of %2, %3 out of place")
                    .arg(tally.received)
                    .arg(count)
                    .arg(tally.outOfOrder + tally.duplicates),
                "all, in order",
                tally.received == count && tally.outOfOrder == 0 && tally.duplicates == 0);
    printTarget("repaints in the slowest second", QString::number(fewest), ">= 10", fewest >= 10);

    // Stop in the middle of a flood: how long until the window is gone and the port free.
    QList<double> stops;
    for (int run = 0; run < g_runs; ++run) {
        Harkline flooded;
        QProcess *flood = startSender(flooded.port, count, rate);
        processEventsFor(seconds * 500);
        QElapsedTimer stop;
        stop.start();
        // Queued behind whatever the flood has already put in the event loop, as a click is.
        QMetaObject::invokeMethod(flooded.window.findChild<QAbstractButton *>("Command2"),
                                  &QAbstractButton::click, Qt::QueuedConnection);
        waitUntil([&] { return !flooded.window.isVisible(); }, 10000);
        stops << double(stop.nsecsElapsed()) / 1e6;
        flood->kill();
        finish(flood);
    }
    printTarget("Stop during the flood to window gone (median)",
                QStringLiteral("%1 ms").arg(median(stops), 0, 'f', 1), "<= 250 ms",
                median(stops) <= 250);
}

// Fills the log with 'lines' lines of numbered payloads, each with its arrival, as if they had
// come; the view then follows the newest line, as for a user watching.
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

// Sets the show-only rule, as typing it into its field does.
void setShowOnly(Harkline &harkline, const QString &text)
{
    for (QAction *action : harkline.log->actions()) {
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F))
            action->trigger();
    }
    if (auto *field = harkline.log->findChild<QLineEdit *>(QStringLiteral("filterField")))
        field->setText(text);
}

// CPU time per datagram, all threads of the process, with 'prefill' lines already in the log,
// the arrival details shown in the margin, and the show-only rule 'rule' on.
double cpuPerDatagramUs(int lines, quint32 count, const QString &rule = {})
{
    Harkline harkline;
    harkline.log->setMarginShown(true);
    if (!rule.isEmpty())
        setShowOnly(harkline, rule);
    if (lines > 0)
        prefill(harkline, lines, count);
    const double before = cpuSeconds();
    finish(startSender(harkline.port, count, 50000));
    waitUntil([&] { return harkline.received() >= lines + qint64(count); }, 60000);
    harkline.log->insertPending();
    const double used = cpuSeconds() - before;
    return used / count * 1e6;
}

void benchFlatCost()
{
    const int full = g_quick ? 200000 : 1000000;
    const quint32 count = 50000;
    std::printf("\n3. Flat cost: CPU time per datagram, empty log against %d lines, %u datagrams "
                "at 50,000/s, arrival details in the margin\n",
                full, count);
    QList<double> empty, filled;
    for (int run = 0; run < g_runs; ++run) {
        empty << cpuPerDatagramUs(0, count);
        filled << cpuPerDatagramUs(full, count);
    }
    const double ratio = median(filled) / median(empty);
    std::printf("  empty log %.2f us, full log %.2f us per datagram (medians)\n", median(empty),
                median(filled));
    printTarget("full / empty", QStringLiteral("%1x").arg(ratio, 0, 'f', 2), "<= 1.5x",
                ratio <= 1.5);
}

double averageSyslogLength()
{
    constexpr int Sample = 10000;
    qint64 characters = 0;
    for (int i = 0; i < Sample; ++i)
        characters += syslogLine(quint32(i)).size();
    return double(characters) / Sample;
}

struct MemoryFigures
{
    double residentBytes = 0; // growth, in all
    double archivedLines = 0;
    double archiveBytes = 0;
    double recordBytes = 0;
    double longestPassMs = 0; // the longest insertion into the box, lines moving out included,
    double longestPassCpuMs = 0; // and the most processor time the window's thread spent in one
};

// What 'lines' lines of realistic syslog cost the process, arrived a thousand in each turn of the
// event loop, as a flood brings them.
MemoryFigures memoryFor(int lines)
{
    Harkline harkline;
    auto *feed = harkline.log->findChild<LogFeed *>();
    QElapsedTimer pass;
    double passCpu = 0;
    MemoryFigures figures;
    QObject::connect(feed, &LogFeed::aboutToInsert, feed, [&] {
        pass.start();
        passCpu = threadCpuSeconds();
    });
    QObject::connect(feed, &LogFeed::inserted, feed, [&] {
        figures.longestPassMs = std::max(figures.longestPassMs, double(pass.nsecsElapsed()) / 1e6);
        figures.longestPassCpuMs =
            std::max(figures.longestPassCpuMs, (threadCpuSeconds() - passCpu) * 1e3);
    });
    processEventsFor(100);
    malloc_trim(0);
    const qint64 before = residentBytes();
    for (int i = 0; i < lines; ++i) {
        harkline.window.appendLogLine(syslogLine(quint32(i)), benchArrival(quint32(i)));
        if (i % 1000 == 999)
            QCoreApplication::processEvents();
    }
    processEventsFor(200);
    malloc_trim(0);
    const LogModel &model = harkline.log->model();
    figures.residentBytes = double(residentBytes() - before);
    figures.archivedLines = double(model.archive().lineCount());
    figures.archiveBytes = double(model.archive().heldBytes());
    figures.recordBytes = double(model.arrivals().heldBytes());
    return figures;
}

void benchMemory()
{
    const QList<int> sizes =
        g_quick ? QList<int> { 200000, 2000000 } : QList<int> { 1000000, 20000000 };
    std::printf("\n4. Memory: resident growth for realistic syslog lines (varied hosts, programs, "
                "addresses; %d characters on average), arrivals recorded\n",
                int(std::round(averageSyslogLength())));
    for (const int lines : sizes) {
        const MemoryFigures figures = memoryFor(lines);
        std::printf("  %d lines: %.0f MB in all, %.0f bytes per line; the arrivals record %.1f "
                    "bytes per line; %.0f lines kept aside in the archive, %.1f bytes each; the "
                    "longest insertion %.1f ms, of the window's thread's time %.1f ms\n",
                    lines, figures.residentBytes / 1e6, figures.residentBytes / lines,
                    figures.recordBytes / lines, figures.archivedLines,
                    figures.archivedLines > 0 ? figures.archiveBytes / figures.archivedLines : 0,
                    figures.longestPassMs, figures.longestPassCpuMs);
        if (lines == sizes.last()) {
            printTarget("lines resident",
                        QStringLiteral("%1 GB").arg(figures.residentBytes / 1e9, 0, 'f', 2),
                        "< 2 GB at 20,000,000", figures.residentBytes < 2e9);
            printTarget("longest insertion while lines move out (thread time)",
                        QStringLiteral("%1 ms").arg(figures.longestPassCpuMs, 0, 'f', 1),
                        "<= 100 ms", figures.longestPassCpuMs <= 100);
        }
    }
}

// The archive's codec: zstd's fastest level against zlib's default and fastest, on the same
// realistic syslog, in parts of a mebibyte as lines move out.
void benchCodecs()
{
    const int lines = g_quick ? 200000 : 1000000;
    std::printf("\n11. Compressing old log text: %d realistic syslog lines in 1 MiB parts, one "
                "byte a character\n",
                lines);
    QList<QByteArray> parts(1);
    for (int i = 0; i < lines; ++i) {
        parts.last() += syslogLine(quint32(i)).toLatin1() + "\r\n";
        if (parts.last().size() >= qsizetype(1024) * 1024)
            parts.append(QByteArray());
    }
    const qint64 total =
        std::accumulate(parts.begin(), parts.end(), qint64(0),
                        [](qint64 sum, const QByteArray &p) { return sum + p.size(); });
    const QList<std::pair<const char *, std::function<QByteArray(const QByteArray &)>>> codecs = {
        { "zstd level 1 (kept)", [](const QByteArray &b) { return *compressed(b); } },
        { "zlib level 6 (qCompress)", [](const QByteArray &b) { return qCompress(b, 6); } },
        { "zlib level 1", [](const QByteArray &b) { return qCompress(b, 1); } },
    };
    for (const auto &[name, compress] : codecs) {
        QList<double> seconds;
        qint64 bytes = 0;
        for (int run = 0; run < g_runs; ++run) {
            bytes = 0;
            const double before = threadCpuSeconds();
            for (const QByteArray &part : std::as_const(parts))
                bytes += compress(part).size();
            seconds << threadCpuSeconds() - before;
        }
        std::printf("  %-26s %5.1f bytes per line, %6.0f MB/s\n", name, double(bytes) / lines,
                    double(total) / median(seconds) / 1e6);
    }
}

void benchLatency()
{
    const int rate = 1000;
    const quint32 count = quint32(rate * (g_quick ? 3 : 10));
    std::printf("\n5. Latency: %d datagrams/s, sent to inserted and painted\n", rate);
    Harkline harkline;
    QList<double> latencies;
    struct PaintWatch : QObject
    {
        Harkline *harkline;
        QList<double> *latencies;
        int painted = 0; // blocks already counted
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() != QEvent::Paint)
                return false;
            const std::int64_t now = Numbered::nowNs();
            QTextDocument *document = harkline->log->document();
            for (QTextBlock block = document->findBlockByNumber(painted);
                 block.isValid() && block.next().isValid(); block = block.next(), ++painted) {
                const QString text = block.text();
                if (text.startsWith(u'#') && text.size() > 31)
                    *latencies << double(now - text.mid(11, 20).toLongLong()) / 1e6;
            }
            return false;
        }
    } watch;
    watch.harkline = &harkline;
    watch.latencies = &latencies;
    harkline.log->viewport()->installEventFilter(&watch);
    finish(startSender(harkline.port, count, rate));
    harkline.settle();
    const double p99 = percentile(latencies, 0.99);
    std::printf("  %lld lines painted; median %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n",
                static_cast<long long>(latencies.size()), median(latencies), p99,
                percentile(latencies, 1.0));
    printTarget("99th percentile", QStringLiteral("%1 ms").arg(p99, 0, 'f', 2), "<= 50 ms",
                p99 <= 50 && latencies.size() == qsizetype(count));
}

// CPU time per line of inserting 'count' numbered lines into a plain text box, shown and painted,
// in batches of what arrives at 'rate' a second in one frame.
double insertCpuPerLineUs(quint32 count, int rate)
{
    QPlainTextEdit box;
    box.setLineWrapMode(QPlainTextEdit::NoWrap);
    box.resize(335, 101);
    box.show();
    processEventsFor(100);
    const quint32 batch = quint32(rate / 60);
    const double before = cpuSeconds();
    for (quint32 first = 0; first < count; first += batch) {
        QString lines;
        for (quint32 i = first; i < std::min(count, first + batch); ++i) {
            QByteArray payload = Numbered::payload(i, PayloadSize);
            payload.chop(1);
            lines += QString::fromLatin1(payload) + u'\n';
        }
        QTextCursor end(box.document());
        end.movePosition(QTextCursor::End);
        end.insertText(lines);
        box.verticalScrollBar()->setValue(box.verticalScrollBar()->maximum());
        box.viewport()->repaint();
    }
    return (cpuSeconds() - before) / count * 1e6;
}

void benchCpu()
{
    const int rate = 50000;
    const quint32 count = g_quick ? 50000 : 150000;
    std::printf("\n7. CPU per datagram at %d/s, %u datagrams: Harkline (all its threads) against a "
                "bare recvmmsg receiver plus inserting the same lines into a text box in batches, "
                "median of %d runs\n",
                rate, count, g_runs);
    QList<double> harkline, bare, insert;
    for (int run = 0; run < g_runs; ++run) {
        harkline << cpuPerDatagramUs(0, count);
        double seconds = 0;
        burstBare(count, rate, &seconds);
        bare << seconds / count * 1e6;
        insert << insertCpuPerLineUs(count, rate);
    }
    const double parts = median(bare) + median(insert);
    std::printf("  Harkline %.2f us; bare receiver %.2f us + text box %.2f us = %.2f us\n",
                median(harkline), median(bare), median(insert), parts);
    printTarget("Harkline / (bare receiver + text box)",
                QStringLiteral("%1x").arg(median(harkline) / parts, 0, 'f', 2), "<= 2x",
                median(harkline) <= 2 * parts);
}

void benchLongLines()
{
    constexpr int Lines = 100;
    constexpr int Size = 65507;
    std::printf("\n8. Long lines: %d datagrams of %d bytes\n", Lines, Size);
    Harkline harkline;
    QByteArray payload;
    while (payload.size() < Size)
        payload += "<14>host app[4242]: a long record, field=value, another=\"quoted\"; ";
    payload.truncate(Size);
    const QString text = QString::fromLatin1(payload);

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Lines; ++i)
        harkline.window.appendLogLine(text, benchArrival(quint32(i)));
    while (harkline.lines() < Lines)
        QCoreApplication::processEvents();
    harkline.log->viewport()->repaint();
    const double insertMs = double(timer.nsecsElapsed()) / 1e6;

    // The caret in the middle of a long line in view; each key is typed, laid out and painted.
    QTextCursor middle(harkline.log->document()->findBlockByNumber(Lines / 2));
    middle.setPosition(middle.position() + Size / 2);
    harkline.log->setTextCursor(middle);
    harkline.log->setFocus();
    processEventsFor(50);
    QList<double> keys;
    for (int i = 0; i < (g_quick ? 5 : 21); ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        timer.restart();
        QCoreApplication::sendEvent(harkline.log, &press);
        QCoreApplication::sendEvent(harkline.log, &release);
        harkline.log->viewport()->repaint();
        keys << double(timer.nsecsElapsed()) / 1e6;
        processEventsFor(20);
    }
    std::printf("  inserted and painted in %.0f ms\n", insertMs);
    printTarget("keystroke to paint in such a line (median)",
                QStringLiteral("%1 ms").arg(median(keys), 0, 'f', 1), "< 16 ms", median(keys) < 16);
}

// Applying a rule to every line in the box, and removing it: the time until every line was looked
// at, the processor time that took, and the longest the event loop waited for a turn meanwhile.
void benchRules()
{
    const int lines = g_quick ? 200000 : 1000000;
    Harkline harkline;
    prefill(harkline, lines, 0);
    std::printf("\n12. View rules on a log of %d lines (%d of them in the box): applying and "
                "removing a show-only rule, median of %d runs\n",
                lines, harkline.lines(), g_runs);
    auto *filter = harkline.log->findChild<LineFilter *>();
    QTimer beat; // a turn of the event loop
    beat.setInterval(0);
    QElapsedTimer sinceBeat;
    double longestWait = 0;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        longestWait = std::max(longestWait, double(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.start();
    });
    QList<double> applyMs, applyCpuMs, applyWait, removeMs, removeCpuMs, removeWait;
    for (int run = 0; run < g_runs; ++run) {
        for (const QString &rule : { QStringLiteral("5"), QString() }) {
            const bool applying = !rule.isEmpty();
            QElapsedTimer timer;
            timer.start();
            const double cpuBefore = threadCpuSeconds();
            longestWait = 0;
            sinceBeat.start();
            beat.start();
            setShowOnly(harkline, rule);
            double doneMs = 0;
            double cpuMs = 0;
            QMetaObject::Connection done = QObject::connect(filter, &LineFilter::changed, [&] {
                if (!filter->isApplying() && doneMs == 0) {
                    doneMs = double(timer.nsecsElapsed()) / 1e6;
                    cpuMs = (threadCpuSeconds() - cpuBefore) * 1e3;
                }
            });
            waitUntil([&] { return doneMs > 0; }, 30000);
            QObject::disconnect(done);
            beat.stop();
            (applying ? applyMs : removeMs) << doneMs;
            (applying ? applyCpuMs : removeCpuMs) << cpuMs;
            (applying ? applyWait : removeWait) << longestWait;
            processEventsFor(200);
        }
    }
    std::printf("  applying: done after %.0f ms, %.0f ms of the window's thread, the event loop "
                "waited at most %.1f ms\n",
                median(applyMs), median(applyCpuMs), median(applyWait));
    std::printf("  removing: done after %.0f ms, %.0f ms of the window's thread, the event loop "
                "waited at most %.1f ms\n",
                median(removeMs), median(removeCpuMs), median(removeWait));
    const double work = std::max(median(applyCpuMs), median(removeCpuMs));
    const double wait = std::max(median(applyWait), median(removeWait));
    printTarget("applying or removing a rule, work", QStringLiteral("%1 ms").arg(work, 0, 'f', 0),
                "<= 300 ms", work <= 300);
    printTarget("longest the window's thread is held", QStringLiteral("%1 ms").arg(wait, 0, 'f', 1),
                "<= 50 ms", wait <= 50);

    const quint32 count = g_quick ? 50000 : 500000;
    QList<double> without, with;
    for (int run = 0; run < g_runs; ++run) {
        without << cpuPerDatagramUs(0, count);
        with << cpuPerDatagramUs(0, count, QStringLiteral("5"));
    }
    std::printf("  %u datagrams at 50,000/s: %.2f us each without a rule, %.2f us with one "
                "(medians)\n",
                count, median(without), median(with));
    printTarget("CPU per datagram, rule on / off",
                QStringLiteral("%1x").arg(median(with) / median(without), 0, 'f', 2), "<= 1.2x",
                median(with) <= 1.2 * median(without));
}

// Saving the arrivals: JSON Lines, which reads each payload as syslog, against CSV.
void benchExports()
{
    const int count = g_quick ? 200000 : 1000000;
    std::printf("\n13. Saving %d arrivals of realistic syslog, median of %d runs\n", count, g_runs);
    ArrivalRecord record;
    for (int i = 0; i < count; ++i)
        record.append(syslogLine(quint32(i)), benchArrival(quint32(i)));
    const QTemporaryDir dir;
    QList<double> csv, json;
    for (int run = 0; run < g_runs; ++run) {
        for (const bool asJson : { false, true }) {
            QFile file(dir.filePath(asJson ? "arrivals.jsonl" : "arrivals.csv"));
            if (!file.open(QIODevice::WriteOnly))
                return;
            QElapsedTimer timer;
            timer.start();
            // As a save does: from a snapshot of the record.
            const ArrivalSnapshot arrivals = record.snapshot();
            SaveProgress progress(arrivals.size());
            QString error;
            asJson ? writeArrivalsJsonLines(arrivals, file, progress, &error)
                   : writeArrivalsCsv(arrivals, file, progress, &error);
            file.close();
            (asJson ? json : csv) << double(timer.nsecsElapsed()) / 1e9;
        }
    }
    std::printf("  CSV %.2f s, JSON Lines %.2f s\n", median(csv), median(json));
    printTarget("JSON Lines against CSV",
                QStringLiteral("%1x the time").arg(median(json) / median(csv), 0, 'f', 2), "<= 1x",
                median(json) <= median(csv));
}

void benchFind()
{
    const int lines = g_quick ? 200000 : 1000000;
    std::printf("\n9. Find: a word near the start of the box, a log of %d lines, the caret at its "
                "end\n",
                lines);
    Harkline harkline;
    prefill(harkline, lines, 0);
    QTextCursor end(harkline.log->document());
    end.movePosition(QTextCursor::End);
    harkline.log->setTextCursor(end);
    // Near the start of the box: lines before it are kept aside, where find does not look.
    const QString word =
        harkline.log->document()->findBlockByNumber(10).text().section(QLatin1Char(' '), 0, 0);
    QAction *find = nullptr;
    for (QAction *action : harkline.log->actions()) {
        if (action->shortcut() == QKeySequence::Find)
            find = action;
    }
    // A word near the start, found after going round the end; and one that is nowhere, which
    // takes a search of the whole log.
    QList<double> found, missing;
    if (!find)
        return;
    QElapsedTimer timer;
    for (int run = 0; run < g_runs; ++run) {
        harkline.log->setTextCursor(end);
        find->trigger(); // the find field is made the first time
        auto *field = harkline.log->findChild<QLineEdit *>(QStringLiteral("findField"));
        auto *status = harkline.log->findChild<QLabel *>(QStringLiteral("findStatus"));
        if (!field || !status)
            return;
        field->clear();
        timer.start();
        field->setText(word);
        waitUntil([&] { return harkline.log->textCursor().selectedText() == word; }, 30000);
        found << double(timer.nsecsElapsed()) / 1e6;
        field->clear();
        timer.start();
        field->setText(QStringLiteral("no such word"));
        waitUntil([&] { return status->text() == QStringLiteral("Not found"); }, 60000);
        missing << double(timer.nsecsElapsed()) / 1e6;
    }
    // Meanwhile the window stays responsive: the search goes in slices of 5 ms.
    std::printf(
        "  found after %.0f ms; a word that is nowhere: not found in the %d lines of the box after "
        "%.0f ms (medians)\n",
        median(found), harkline.log->document()->blockCount(), median(missing));
}

void benchFlood()
{
    const quint32 count = g_quick ? 1000000 : 10000000;
    constexpr int Size = 215;
    // As fast as the window keeps up, so that they all land in the log: over 2^31 characters, which
    // a text box cannot index.
    const int rate = 50000;
    std::printf("\n10. Flood: %u datagrams of %d bytes at %d a second\n", count, Size, rate);
    Harkline harkline;
    QElapsedTimer timer;
    timer.start();
    QProcess *sender = new QProcess;
    sender->setProcessChannelMode(QProcess::ForwardedChannels);
    sender->start(QCoreApplication::applicationFilePath(),
                  { "send", QString::number(harkline.port), QString::number(count),
                    QString::number(Size), QString::number(rate),
                    QString::number(Numbered::nowNs()) });
    const bool allSent = finish(sender);
    const double sendSeconds = double(timer.nsecsElapsed()) / 1e9;
    // Everything that came in, shown, then the drops told too.
    harkline.settle(1000);
    const double showSeconds = double(timer.nsecsElapsed()) / 1e9;
    const ArrivalRecord &arrivals = harkline.log->model().arrivals();
    const quint64 dropped = arrivals.totalDropped();

    // Still responsive: to the top of the log and back, each painted, and a key typed.
    QList<double> steps;
    for (const auto &[key, modifiers] : { std::pair { Qt::Key_Home, Qt::ControlModifier },
                                          std::pair { Qt::Key_End, Qt::ControlModifier },
                                          std::pair { Qt::Key_X, Qt::NoModifier } }) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, key == Qt::Key_X ? "x" : QString());
        timer.restart();
        QCoreApplication::sendEvent(harkline.log, &press);
        harkline.log->viewport()->repaint();
        steps << double(timer.nsecsElapsed()) / 1e6;
    }
    std::printf(
        "  sent in %.1f s, all shown %.1f s after the start; %lld shown, %llu dropped by the "
        "system (told on the lines after each gap); %lld lines moved to the archive; resident "
        "%.1f GB\n",
        sendSeconds, showSeconds, static_cast<long long>(arrivals.size()),
        static_cast<unsigned long long>(dropped),
        static_cast<long long>(harkline.log->model().archive().lineCount()),
        double(residentBytes()) / 1e9);
    if (!allSent)
        std::printf("  the sender could not send them all\n");
    std::printf("  afterwards: to the top %.1f ms, to the end %.1f ms, a key typed %.1f ms\n",
                steps.at(0), steps.at(1), steps.at(2));
    printTarget("every datagram shown or told as dropped",
                QStringLiteral("%1 of %2").arg(arrivals.size() + qint64(dropped)).arg(count), "all",
                arrivals.size() + qint64(dropped) >= qint64(count) - 1);
}

void benchStartup()
{
    std::printf(
        "\n6. Start-up: launch to window mapped, and to its first frame drawn, median of %d "
        "launches\n",
        g_runs * 2);
    if (qgetenv("DISPLAY").isEmpty()) {
        std::printf("  skipped: needs an X server (run under xvfb-run)\n");
        return;
    }
    const QString dir = QCoreApplication::applicationDirPath();
    struct Program
    {
        const char *name;
        QString path;
        QList<double> mapped, drawn;
        int missed = 0; // launches that showed no window, or drew none, in time
    };
    Program harkline { "Harkline", dir + "/../harkline", {}, {} };
    Program minimal { "minimal Qt window", dir + "/minimal-window", {}, {} };
    Program label { "Qt window with one label", dir + "/label-window", {}, {} };
    for (int run = 0; run < g_runs * 2; ++run) {
        for (Program *program : { &harkline, &minimal, &label }) {
            const WindowWatch::Times times = WindowWatch::launch(program->path);
            // A launch that failed is counted apart: as a time it would pull the median down.
            if (times.mappedMs < 0 || times.drawnMs < 0) {
                ++program->missed;
                continue;
            }
            program->mapped << times.mappedMs;
            program->drawn << times.drawnMs;
        }
    }
    int missed = 0;
    for (const Program *program : { &harkline, &minimal, &label }) {
        std::printf("  %-26s mapped %5.1f ms, first frame drawn %5.1f ms", program->name,
                    median(program->mapped), median(program->drawn));
        if (program->missed > 0)
            std::printf(", %d launches showed no window", program->missed);
        std::printf("\n");
        missed += program->missed;
    }
    const double mappedRatio = median(harkline.mapped) / median(minimal.mapped);
    const double drawnRatio = median(harkline.drawn) / median(minimal.drawn);
    std::printf("  Harkline / window with one label: mapped %.2fx, drawn %.2fx\n",
                median(harkline.mapped) / median(label.mapped),
                median(harkline.drawn) / median(label.drawn));
    printTarget("Harkline / minimal, window mapped",
                QStringLiteral("%1x").arg(mappedRatio, 0, 'f', 2), "<= 1.5x",
                mappedRatio <= 1.5 && missed == 0);
    printTarget("Harkline / minimal, first frame drawn",
                QStringLiteral("%1x").arg(drawnRatio, 0, 'f', 2), "<= 1.5x",
                drawnRatio <= 1.5 && missed == 0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 7 && qstrcmp(argv[1], "send") == 0) {
        const qint64 sent = sendNumbered(atoi(argv[2]), quint32(strtoul(argv[3], nullptr, 10)),
                                         atoi(argv[4]), atoi(argv[5]), atoll(argv[6]));
        return sent == qint64(strtoul(argv[3], nullptr, 10)) ? 0 : 1;
    }

    // Offscreen unless told otherwise, so that the window costs what it costs without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt warns at every start without one; the programs started here share this one.
    const QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QStringList only;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == "--runs" && i + 1 < arguments.size())
            g_runs = std::max(1, arguments.at(++i).toInt());
        else if (arguments.at(i) == "--quick")
            g_quick = true;
        else
            only << arguments.at(i);
    }

    const BufferLimit bufferLimit;
    BufferLimit::set(BufferLimit::Stock);
    std::printf("Harkline benchmark: %ld cores, net.core.rmem_max %lld during the run%s\n",
                sysconf(_SC_NPROCESSORS_ONLN), static_cast<long long>(BufferLimit::read()),
                g_quick ? ", quick" : "");
    const QList<std::pair<QString, void (*)()>> benches = {
        { "burst", benchBurst },     { "sustained", benchSustained }, { "flat", benchFlatCost },
        { "memory", benchMemory },   { "latency", benchLatency },     { "startup", benchStartup },
        { "cpu", benchCpu },         { "long", benchLongLines },      { "find", benchFind },
        { "flood", benchFlood },     { "codecs", benchCodecs },       { "rules", benchRules },
        { "exports", benchExports },
    };
    for (const auto &[name, bench] : benches) {
        if (only.isEmpty() || only.contains(name))
            bench();
    }
    return 0;
}
