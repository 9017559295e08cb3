// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the parts of the benchmark share: the run's settings, the figures, Harkline's own window
// on a port, the sender, and a bare receiver to compare with.

#ifndef HARKLINE_BENCH_BENCH_H
#define HARKLINE_BENCH_BENCH_H

#include "Arrival.h"
#include "FRM_Harkline.h"
#include "LogBox.h"
#include "Sender.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace bench {

constexpr int PayloadSize = 80;
// The sender starts sending at a set time, once it has been started and has loaded its
// libraries, so that what the receiver's process does to start it is not measured with it.
constexpr std::int64_t SenderLeadNs = 150'000'000;

// --runs N and --quick.
extern int g_runs;
extern bool g_quick;

double median(QList<double> values);
double percentile(QList<double> values, double p);
// Processor time of the whole process, and of the calling thread.
double cpuSeconds();
double threadCpuSeconds();
qint64 residentBytes();
// Waiting turns a real event loop, which sleeps when there is nothing to do: a loop that spins
// would take the CPU that the receivers under test need.
void processEventsFor(int ms);
bool waitUntil(const std::function<bool()> &done, int timeoutMs);
bool portIsBound(int port);
int freePort();
void printTarget(const char *name, const QString &figure, const QString &target, bool met);

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

// Starts the sender process: 'count' numbered datagrams to 'port' at 'rate' a second (0: full
// speed); 'startNs' gets when it begins.
QProcess *startSender(int port, quint32 count, int rate, std::int64_t *startNs = nullptr);
// Waits, turning the event loop, for the process to end; true when it ended well.
bool finish(QProcess *sender);

struct BurstResult
{
    double receivedPercent = 0;
    qint64 duplicates = 0;
    qint64 outOfOrder = 0;
    double seconds = 0; // from the first datagram sent to the last one written down
};

BurstResult resultOf(const Numbered::Tally &tally, quint32 count, double seconds);
// A receiving thread that does nothing but read into memory; sent 'count' at 'rate' a second (0:
// full speed). 'cpuSeconds', when given, gets the CPU time the thread used.
BurstResult burstBare(quint32 count, int rate = 0, double *cpuSeconds = nullptr);

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
Arrival benchArrival(quint32 i);
// Fills the log with 'lines' lines of numbered payloads, each with its arrival, as if they had
// come; the view then follows the newest line, as for a user watching.
void prefill(Harkline &harkline, int lines, quint32 firstNumber);
// Sets the show-only rule, as typing it into its field does.
void setShowOnly(Harkline &harkline, const QString &text);
// CPU time per datagram, all threads of the process, with 'lines' lines already in the log,
// the arrival details shown in the margin, and the show-only rule 'rule' on; with 'viewFilter'
// set, the Log View open too, filtering by it.
double cpuPerDatagramUs(int lines, quint32 count, const QString &rule = {},
                        const std::optional<QString> &viewFilter = std::nullopt);

} // namespace bench

#endif // HARKLINE_BENCH_BENCH_H
