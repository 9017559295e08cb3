// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Alerts: how often they may notify, and what reaches the desktop's notification service (one of
// the test's own, on a private session bus) and comes back from it.

#include "AlertController.h"
#include "AlertThrottle.h"
#include "FindBar.h"
#include "LineJumps.h"
#include "LogBox.h"

#include "LogSamples.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTextBlock>

namespace {

const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString NotificationsInterface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

// A notification service that keeps what it is asked to show.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        QString app;
        uint replaces = 0;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap & /*hints*/,
                int /*timeout*/)
    {
        calls.append({ app, replaces, icon, summary, body, actions });
        return replaces != 0 ? replaces : ++m_lastId;
    }

private:
    uint m_lastId = 0;
};

class tst_Alerts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void throttleSumsWhatComesBetween_data();
    void throttleSumsWhatComesBetween();
    void alertsReachTheDesktop();
    void marksStayAsLinesMoveOut();

private:
    QProcess m_bus;
    QString m_address;
};

void tst_Alerts::initTestCase()
{
    m_bus.start(QStringLiteral("dbus-daemon"),
                { "--session", "--nofork", "--nopidfile", "--print-address=1" });
    QVERIFY2(m_bus.waitForStarted(), "no dbus-daemon: scripts/setup installs the dbus package");
    QTRY_VERIFY(m_bus.canReadLine());
    m_address = QString::fromLatin1(m_bus.readLine().trimmed());
    // Before anything asks for the session bus: the program's connection is made when first used.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toLatin1());
}

void tst_Alerts::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished();
}

void tst_Alerts::throttleSumsWhatComesBetween_data()
{
    // Steps "m time rule arrival from" (a match) and "d time" (what is due), and what is told:
    // "rule:arrival+more from" for each.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("told");

    QTest::newRow("the first at once") << QStringList { "m 0 0 1 fw01" } << QStringList { "0:1+0" };
    QTest::newRow("those after it summed, the newest told when the time comes")
        << QStringList { "m 0 0 1 fw01", "m 100 0 2 fw01", "m 200 0 3 fw01", "d 4999", "d 5000" }
        << QStringList { "0:1+0", "0:3+1 fw01" };
    QTest::newRow("from two places: no place said")
        << QStringList { "m 0 0 1 a", "m 1 0 2 a", "m 2 0 3 b", "d 5000" }
        << QStringList { "0:1+0", "0:3+1" };
    QTest::newRow("after a quiet interval, at once again")
        << QStringList { "m 0 0 1 a", "m 5000 0 2 a" } << QStringList { "0:1+0", "0:2+0" };
    QTest::newRow("the interval runs from the last told")
        << QStringList { "m 0 0 1 a", "m 1 0 2 a", "d 5000", "m 5001 0 3 a", "d 9999", "d 10000" }
        << QStringList { "0:1+0", "0:2+0 a", "0:3+0 a" };
    QTest::newRow("each rule its own")
        << QStringList { "m 0 0 1 a", "m 1 1 1 a", "m 2 0 2 a", "d 5000" }
        << QStringList { "0:1+0", "1:1+0", "0:2+0 a" };
    QTest::newRow("a rule forgotten: its held matches go, the next is told at once")
        << QStringList { "m 0 0 1 a", "m 1 0 2 a", "f 0", "d 5000", "m 5001 0 3 a" }
        << QStringList { "0:1+0", "0:3+0" };
}

void tst_Alerts::throttleSumsWhatComesBetween()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, told);
    AlertThrottle throttle(5000);
    QStringList said;
    const auto say = [&](const AlertThrottle::Told &one) {
        said << QStringLiteral("%1:%2+%3%4")
                    .arg(one.rule)
                    .arg(one.arrival)
                    .arg(one.more)
                    .arg(one.moreFrom.isEmpty() ? QString() : ' ' + one.moreFrom);
    };
    for (const QString &step : std::as_const(steps)) {
        const QStringList word = step.split(u' ');
        if (word[0] == "m") {
            if (const auto one = throttle.match(word[2].toInt(), word[3].toLongLong(), word[4],
                                                word[1].toLongLong()))
                say(*one);
        } else if (word[0] == "d") {
            for (const AlertThrottle::Told &one : throttle.due(word[1].toLongLong()))
                say(one);
        } else {
            throttle.forget(word[1].toInt());
        }
    }
    QCOMPARE(said, told);
    QVERIFY(!throttle.nextDueMs());
}

void tst_Alerts::alertsReachTheDesktop()
{
    LogBox log;
    log.resize(600, 300);
    log.show();
    log.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&log));
    const auto append = [&](const char *payload) {
        log.appendLine(QString::fromLatin1(payload), arrivalFrom("192.0.2.1", 514, 1));
        log.insertPending();
    };
    const auto lineOf = [&](const char *payload) {
        return log.document()->find(QString::fromLatin1(payload)).block();
    };

    // The field suggests the caret line's host and program, or the selection; Enter sets it.
    append("<14>Dec  8 10:00:00 fw01 sshd[812]: started");
    log.setTextCursor(QTextCursor(log.document()->firstBlock()));
    QTest::keyClick(&log, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    auto *field = log.findChild<QLineEdit *>("alertField");
    QVERIFY(field && field->isVisible());
    QCOMPARE(field->text(), QStringLiteral("host:fw01 app:sshd"));
    log.setTextCursor(log.document()->find(QStringLiteral("sshd[812]: started")));
    QTest::keyClick(&log, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(field->text(), QStringLiteral("\"sshd[812]: started\""));
    field->setText(QStringLiteral("sev:loud"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY2(field->isVisible(), "a rule that does not read is not set");
    QVERIFY(log.findChild<QLabel *>("alertStatus")->text().contains("loud"));
    field->setText(QStringLiteral("sev:err"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!field->isVisible());
    AlertRules &rules = log.findChild<AlertController *>()->rules();
    QCOMPARE(rules.alerts().size(), std::size_t(1));

    // No notification service: the line is still marked, and the box says it once.
    append("<11>Dec  8 10:00:01 fw01 sshd[812]: first error");
    append("<14>Dec  8 10:00:01 fw01 sshd[812]: not an error");
    auto *missing = log.findChild<QLabel *>("notificationsMissing");
    const LineJumps &jumps = *log.findChild<LineJumps *>();
    QTRY_VERIFY(missing->isVisible());
    QVERIFY(jumps.isMarked(lineOf("first error")));
    QVERIFY(!jumps.isMarked(lineOf("not an error")));
    // Marked as the user marks a line: tinted indigo, visited by F2, unmarked by Ctrl+F2.
    const auto tinted = [&](const char *payload) {
        const int middle = log.cursorRect(QTextCursor(lineOf(payload))).center().y();
        const QColor colour =
            log.viewport()->grab().toImage().pixelColor(log.viewport()->width() / 2, middle);
        return colour.blue() > colour.red() + 10;
    };
    QVERIFY(tinted("first error"));
    QVERIFY(!tinted("not an error"));
    log.setMarginShown(true);
    auto *margin = log.findChild<QWidget *>("logMargin");
    const auto edgeMarked = [&](const char *payload) {
        const QPoint middle = margin->mapFromGlobal(
            log.viewport()->mapToGlobal(log.cursorRect(QTextCursor(lineOf(payload))).center()));
        const QColor colour = margin->grab().toImage().pixelColor(margin->width() - 3, middle.y());
        return colour.blue() > colour.red() + 10;
    };
    QTRY_VERIFY(margin->width() > 0);
    QVERIFY(edgeMarked("first error"));
    QVERIFY(!edgeMarked("not an error"));
    log.setMarginShown(false);
    log.setTextCursor(QTextCursor(log.document()->firstBlock()));
    QTest::keyClick(&log, Qt::Key_F2);
    QCOMPARE(log.textCursor().block(), lineOf("first error"));
    QTest::keyClick(&log, Qt::Key_F2, Qt::ControlModifier);
    QVERIFY(!jumps.isMarked(lineOf("first error")));
    QVERIFY(!tinted("first error"));

    // With one: a notification at once for a rule not told of lately; the others summed.
    FakeNotifications service;
    QDBusConnection serviceBus = QDBusConnection::connectToBus(m_address, "notifications");
    QVERIFY(
        serviceBus.registerObject(NotificationsPath, &service, QDBusConnection::ExportAllSlots));
    QVERIFY(serviceBus.registerService(NotificationsInterface));
    rules.add(QStringLiteral("host:fw01"));
    append("<11>Dec  8 10:00:02 fw01 sshd[812]: link down");
    QTRY_COMPARE(service.calls.size(), 1);
    const FakeNotifications::Call first = service.calls.first();
    QCOMPARE(first.summary, QStringLiteral("err: fw01 sshd[812]"));
    QCOMPARE(first.body, QStringLiteral("link down"));
    QCOMPARE(first.app, QGuiApplication::applicationDisplayName());
    QCOMPARE(first.icon, QStringLiteral("org.harkline.Harkline"));
    QVERIFY(first.actions.contains("default"));
    QCOMPARE(first.replaces, 0u);
    QTRY_VERIFY(!missing->isVisible());
    append("<11>Dec  8 10:00:03 fw01 sshd[812]: link <b>flapping</b>");
    append("<11>Dec  8 10:00:04 fw01 sshd[812]: link down again");
    // Each rule's held matches come together a few seconds after its last notification, the one
    // still showing replaced.
    QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 3, 20000);
    QTest::qWait(100);
    QCOMPARE(service.calls.size(), 3);
    QStringList bodies;
    for (const FakeNotifications::Call &call : std::as_const(service.calls).mid(1))
        bodies << call.body;
    bodies.sort();
    QCOMPARE(bodies,
             QStringList({ "link down again\nand 1 more from fw01",
                           "link down again\nand 2 more from fw01" }));
    const auto replaced = std::find_if(service.calls.cbegin() + 1, service.calls.cend(),
                                       [](const auto &call) { return call.replaces != 0; });
    QVERIFY(replaced != service.calls.cend());
    QCOMPARE(replaced->replaces, 1u);
    // What the network sent is never markup.
    append("<11>Dec  8 10:00:05 fw01 sshd[812]: <b>bold</b> & more");
    QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 5, 20000);
    QVERIFY(service.calls.last().body.startsWith("&lt;b&gt;bold&lt;/b&gt; &amp; more"));

    // A click on the notification brings the caret to its line.
    log.setTextCursor(QTextCursor(log.document()->firstBlock()));
    QDBusMessage click =
        QDBusMessage::createSignal(NotificationsPath, NotificationsInterface, "ActionInvoked");
    click << 1u << QStringLiteral("default");
    QVERIFY(serviceBus.send(click));
    QTRY_COMPARE(log.textCursor().block(), lineOf("bold"));
    // After Clear its datagram is gone: the click asks for nothing, not for what took its place.
    log.clearLog();
    for (const char *payload : { "a", "b", "c", "d", "e", "f", "g" })
        append(payload);
    log.setTextCursor(QTextCursor(log.document()->firstBlock()));
    QVERIFY(serviceBus.send(click));
    QTest::qWait(200);
    QCOMPARE(log.textCursor().block(), log.document()->firstBlock());

    // A rule turned off tells nothing more.
    rules.setOn(0, false);
    rules.setOn(1, false);
    const qsizetype told = service.calls.size();
    append("<11>Dec  8 10:01:00 fw01 sshd[812]: after");
    QTest::qWait(200);
    QCOMPARE(service.calls.size(), told);
    QVERIFY(!jumps.isMarked(lineOf("after")));
    QDBusConnection::disconnectFromBus("notifications");
}

void tst_Alerts::marksStayAsLinesMoveOut()
{
    // Every datagram matches: whichever line is the first kept when lines move out is marked.
    LogBox log;
    log.setDocumentLimit({ 160, 1 << 20 });
    log.findChild<AlertController *>()->rules().add(QStringLiteral("line"));
    for (int i = 0; i < 500; ++i) {
        log.appendLine(QStringLiteral("line %1").arg(i), arrivalFrom("192.0.2.1", 514, i));
        if (i % 7 == 0) {
            log.insertPending();
            QCoreApplication::processEvents();
        }
    }
    log.insertPending();
    QCoreApplication::processEvents();
    QVERIFY(log.document()->blockCount() <= 161);
    const LineJumps &jumps = *log.findChild<LineJumps *>();
    for (QTextBlock line = log.document()->firstBlock(); line.isValid() && !line.text().isEmpty();
         line = line.next())
        QVERIFY2(jumps.isMarked(line), qPrintable(line.text()));
}

QTEST_MAIN(tst_Alerts)
#include "tst_alerts.moc"
