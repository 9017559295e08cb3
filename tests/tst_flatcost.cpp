// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Guards the shape of the cost, not a speed: a datagram must cost about the same whether the log
// is empty or long. Rewriting the whole log per datagram, or anything else that grows with it,
// makes the ratio below grow many times over.

#include "FRM_Harkline.h"
#include "LogBox.h"

#include "FreePort.h"
#include <QAbstractButton>
#include <QScrollBar>

#include <QTest>
#include <QUdpSocket>

#include <ctime>

namespace {

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

class tst_FlatCost : public QObject
{
    Q_OBJECT

private slots:
    void costPerDatagramDoesNotGrowWithTheLog();

private:
    // User-interface thread time per datagram received and shown, with 'lines' already in the log.
    double secondsPerDatagram(int lines);
};

double tst_FlatCost::secondsPerDatagram(int lines)
{
    constexpr int Count = 3000;
    FRM_Harkline window;
    window.show();
    const quint16 port = freePort();
    window.setPortText(QString::number(port));
    window.findChild<QAbstractButton *>("Command1")->click();
    auto *log = window.findChild<LogBox *>("TXT_Input");
    if (lines > 0) {
        const QString line = QString(78, u'x') + QStringLiteral("\r\n");
        window.setLogText(line.repeated(lines));
        QScrollBar *bar = log->verticalScrollBar();
        bar->setValue(bar->maximum()); // following the newest line, as a user watching does
    }
    QTest::qWait(50);

    QUdpSocket sender;
    const QByteArray payload(78, 'y');
    const double start = threadCpuSeconds();
    for (int i = 0; i < Count; ++i) {
        sender.writeDatagram(payload, QHostAddress::LocalHost, port);
        if (i % 100 == 99)
            QTest::qWait(1); // lets the window keep up, so that nothing waits in the kernel
    }
    // Until the last is shown (the oldest lines move out of the box meanwhile).
    const auto lastShown = [&] {
        return log->model().lines().of(log->document()->lastBlock().previous())
            == std::optional<qint64>(Count - 1);
    };
    if (!QTest::qWaitFor(lastShown, 30000))
        return -1;
    return (threadCpuSeconds() - start) / Count;
}

void tst_FlatCost::costPerDatagramDoesNotGrowWithTheLog()
{
    constexpr int LongLog = 100000;
    // The best of three of each, so that a busy machine does not decide.
    double empty = 1e9;
    double full = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double e = secondsPerDatagram(0);
        const double f = secondsPerDatagram(LongLog);
        QVERIFY2(e > 0 && f > 0, "not every datagram arrived");
        empty = std::min(empty, e);
        full = std::min(full, f);
    }
    const double ratio = full / empty;
    qInfo("per datagram: %.1f us with an empty log, %.1f us with %d lines: %.2fx", empty * 1e6,
          full * 1e6, LongLog, ratio);
    QVERIFY2(ratio < 2.5, qPrintable(QStringLiteral("cost grew %1 times").arg(ratio)));
}

QTEST_MAIN(tst_FlatCost)
#include "tst_flatcost.moc"
