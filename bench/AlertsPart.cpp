// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AlertController.h"
#include "Bench.h"

#include <cstdio>
#include <ctime>

namespace bench {

namespace {

double windowThreadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct FloodCost
{
    double processUs = 0; // per datagram
    double windowUs = 0; // of it, the window's thread, where alerts are matched and told
};

// A flood of 'count' datagrams at 50,000 a second, with 'rule' (if any) set as an alert; 'notices'
// gets how many notifications it asked for, 'lost' adds what did not arrive.
FloodCost alertFlood(quint32 count, const QString &rule, int *notices, qint64 *lost)
{
    Harkline harkline;
    harkline.log->setMarginShown(true);
    AlertRules &rules = harkline.log->findChild<AlertController *>()->rules();
    int told = 0;
    QObject::connect(&rules, &AlertRules::notice, &rules, [&] { ++told; });
    if (!rule.isEmpty())
        rules.add(rule);
    const double process = cpuSeconds();
    const double window = windowThreadSeconds();
    finish(startSender(harkline.port, count, 50000));
    waitUntil(
        [&] { return harkline.received() + qint64(harkline.log->droppedTotal()) >= qint64(count); },
        60000);
    harkline.log->insertPending();
    const FloodCost cost { (cpuSeconds() - process) / count * 1e6,
                           (windowThreadSeconds() - window) / count * 1e6 };
    *lost += qint64(count) - harkline.received();
    if (notices)
        *notices = std::max(*notices, told);
    return cost;
}

// Each run's flood with an alert against its own without: the machine's pace drifts between runs
// more than an alert costs.
double pairedRatio(const QList<FloodCost> &with, const QList<FloodCost> &without,
                   double FloodCost::*figure)
{
    QList<double> ratios;
    for (qsizetype run = 0; run < without.size(); ++run)
        ratios << with[run].*figure / without[run].*figure;
    return median(ratios);
}

double medianOf(const QList<FloodCost> &costs, double FloodCost::*figure)
{
    QList<double> figures;
    for (const FloodCost &cost : costs)
        figures << cost.*figure;
    return median(figures);
}

} // namespace

// What an alert costs a flood of datagrams it mostly does not match, and that a flood of matches
// asks for no more notifications than the rate allows.
void benchAlerts()
{
    const quint32 count = g_quick ? 50000 : 500000; // 1 s or 10 s at 50,000 a second
    // The sender numbers its datagrams "#000012300 00000512…": one in a hundred ends in 00. A
    // word, as most rules are, and an expression, the dearest kind; and a word with letters, which
    // every payload is folded for, that matches none.
    const QStringList rules = { QStringLiteral("\"00 0\""), QStringLiteral("/^#[0-9]{7}00 /"),
                                QStringLiteral("\"link down\"") };
    std::printf("\n17. Alerts: %u datagrams at 50,000/s, an alert matching one in a hundred, "
                "median of %d runs\n",
                count, g_runs);
    QList<FloodCost> without;
    std::vector<QList<FloodCost>> with(std::size_t(rules.size()));
    std::vector<int> notices(std::size_t(rules.size()));
    qint64 lostWithout = 0;
    std::vector<qint64> lost(std::size_t(rules.size()));
    // Each run in another order: a process that has run floods before runs the next a little
    // differently, and the first of a run would always pay for that.
    for (int run = 0; run < g_runs; ++run) {
        for (int step = 0; step <= int(rules.size()); ++step) {
            const int which = (step + run) % (int(rules.size()) + 1);
            if (which == 0) {
                without << alertFlood(count, {}, nullptr, &lostWithout);
                continue;
            }
            const auto rule = std::size_t(which - 1);
            with[rule] << alertFlood(count, rules[qsizetype(rule)], &notices[rule], &lost[rule]);
        }
    }
    std::printf(
        "  without an alert: %.2f us a datagram (%.2f us on the window's thread), %lld lost "
        "in all runs\n",
        medianOf(without, &FloodCost::processUs), medianOf(without, &FloodCost::windowUs),
        static_cast<long long>(lostWithout));
    for (std::size_t rule = 0; rule < std::size_t(rules.size()); ++rule) {
        std::printf("  alert %s: %.2f us a datagram (%.2fx; the window's thread %.2fx), %d "
                    "notifications at most in a run, %lld lost in all runs\n",
                    qPrintable(rules[qsizetype(rule)]), medianOf(with[rule], &FloodCost::processUs),
                    pairedRatio(with[rule], without, &FloodCost::processUs),
                    pairedRatio(with[rule], without, &FloodCost::windowUs), notices[rule],
                    static_cast<long long>(lost[rule]));
    }
    const double wordRatio = pairedRatio(with[0], without, &FloodCost::processUs);
    printTarget("CPU per datagram, a word alert on / off",
                QStringLiteral("%1x").arg(wordRatio, 0, 'f', 2), "<= 1.05x", wordRatio <= 1.05);
    // One at once, then one every 5 s while matches come, and one for those held at the end.
    const int allowed = 1 + int(count / 50000 / 5) + 1;
    const int most = *std::max_element(notices.begin(), notices.end());
    printTarget("notifications in a run", QString::number(most),
                QStringLiteral("<= %1").arg(allowed), most <= allowed);
}

} // namespace bench
