// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Log View as a user drives it, offscreen: opened from the box, following arrivals, filtered
// and searched from its fields and keys, its gaps, marks, copy, timeline and Clear.

#include "AlertController.h"
#include "LogBox.h"
#include "LogTable.h"
#include "LogView.h"
#include "Timeline.h"

#include "LogSamples.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

namespace {

constexpr qint64 NsPerSecond = 1'000'000'000;

// A box with four datagrams from two hosts, the third after the system dropped two, the view
// open over them, active, the rows with the focus.
struct Opened
{
    LogBox log;
    LogView *view = nullptr;
    LogTable *table = nullptr;
    Opened()
    {
        log.resize(335, 101);
        log.show();
        log.appendLine("<14>1 - fw01 app - - - first", arrivalFrom("192.0.2.1", 514, NsPerSecond));
        log.appendLine("<11>1 - web02 app - - - second",
                       arrivalFrom("192.0.2.2", 514, 2 * NsPerSecond));
        log.appendLine("<14>1 - fw01 app - - - third",
                       arrivalFrom("192.0.2.1", 514, 3 * NsPerSecond, 2));
        log.appendLine("no priority: fourth", arrivalFrom("192.0.2.3", 515, 4 * NsPerSecond));
        log.insertPending();
        log.openLogView();
        view = log.findChild<LogView *>();
        table = view ? view->findChild<LogTable *>() : nullptr;
        if (view) {
            view->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(view));
        }
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    void type(const QString &field, const QString &text)
    {
        auto *edit = view->findChild<QLineEdit *>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    QString status() const { return view->findChild<QLabel *>("logViewStatus")->text(); }
    QString said() const
    {
        return view->findChild<QLabel *>("logViewSaid")->text()
            + view->findChild<QLabel *>("viewFindStatus")->text();
    }
    qint64 rowCount() const
    {
        // The last row there is, by going to the bottom.
        table->setCurrentRow(std::numeric_limits<qint64>::max());
        return table->currentRow() + 1;
    }
};

} // namespace

class tst_LogView : public QObject
{
    Q_OBJECT

private slots:
    void opensOverEveryArrivalAndFollows();
    void filterOverTheRecord_data();
    void filterOverTheRecord();
    void findAndJumps();
    void marks();
    void copiesPayloadsExactly();
    void timelineGoesToItsSecond();
    void clearEmptiesIt();
    void alertsSetFromTheView();
};

void tst_LogView::opensOverEveryArrivalAndFollows()
{
    Opened opened;
    QVERIFY(opened.view && opened.view->isVisible());
    QVERIFY(opened.view->windowTitle().startsWith("Log View"));
    QCOMPARE(opened.rowCount(), 5); // four datagrams and a gap
    QVERIFY(opened.status().contains("4 arrivals"));
    QVERIFY(opened.status().contains("2 dropped since Start"));
    opened.log.appendLine("fifth", arrivalFrom("192.0.2.3", 515, 5 * NsPerSecond));
    QTRY_COMPARE(opened.rowCount(), 6);
    // Closed and opened again: the same window, as it was.
    opened.view->close();
    opened.log.openLogView();
    QCOMPARE(opened.log.findChildren<LogView *>().size(), 1);
    QVERIFY(opened.view->isVisible());
}

void tst_LogView::filterOverTheRecord_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<QString>("status");
    QTest::newRow("a host: its rows and the gap") << "host:fw01" << qint64(3) << "Showing 3 of 4";
    QTest::newRow("a severity: the error, the gap") << "sev:err" << qint64(2) << "Showing 2 of 4";
    QTest::newRow("a sender and port") << "sender:192.0.2.3:515" << qint64(2) << "Showing 2 of 4";
    QTest::newRow("hidden: the rest") << "!fw01" << qint64(3) << "Showing 3 of 4";
    QTest::newRow("a mistake: every row stays") << "sev:loud" << qint64(5) << "4 arrivals";
}

void tst_LogView::filterOverTheRecord()
{
    QFETCH(QString, filter);
    QFETCH(qint64, rows);
    QFETCH(QString, status);
    Opened opened;
    opened.type("viewFilterField", filter);
    QTRY_VERIFY2(opened.status().contains(status), qPrintable(opened.status()));
    QCOMPARE(opened.rowCount(), rows);
    if (filter == "sev:loud")
        QVERIFY(opened.view->findChild<QLabel *>("viewFilterStatus")->text().contains("sev:loud"));
}

void tst_LogView::findAndJumps()
{
    Opened opened;
    opened.table->setCurrentRow(0);
    opened.table->setFocus();
    opened.key(Qt::Key_Slash);
    opened.type("viewFindField", "third");
    QTRY_COMPARE(opened.table->currentRow(), 3); // after the gap's row
    opened.table->setFocus();
    opened.key(Qt::Key_N);
    QTRY_VERIFY2(opened.said().contains("Wrapped"), qPrintable(opened.said()));
    opened.type("viewFindField", "nowhere");
    QTRY_VERIFY2(opened.said().contains("No match in 4 arrivals"), qPrintable(opened.said()));
    // Problems: the error, then the gap, round the end.
    opened.table->setCurrentRow(0);
    opened.table->setFocus();
    opened.key(Qt::Key_F8);
    QTRY_COMPARE(opened.table->currentRow(), 1);
    opened.key(Qt::Key_E);
    QTRY_COMPARE(opened.table->currentRow(), 2);
    opened.key(Qt::Key_E, Qt::ShiftModifier);
    QTRY_COMPARE(opened.table->currentRow(), 1);
    opened.key(Qt::Key_G, Qt::ShiftModifier);
    QCOMPARE(opened.table->currentRow(), 4);
    opened.key(Qt::Key_G);
    QCOMPARE(opened.table->currentRow(), 0);
}

void tst_LogView::marks()
{
    Opened opened;
    opened.table->setFocus();
    for (const qint64 row : { 0, 4 }) {
        opened.table->setCurrentRow(row);
        opened.key(Qt::Key_M);
    }
    opened.table->setCurrentRow(1);
    opened.key(Qt::Key_U);
    QCOMPARE(opened.table->currentRow(), 4);
    opened.key(Qt::Key_U);
    QCOMPARE(opened.table->currentRow(), 0);
    opened.key(Qt::Key_U, Qt::ShiftModifier);
    QCOMPARE(opened.table->currentRow(), 4);
    // Unmarked, and hidden by a filter: no mark is there to go to.
    opened.key(Qt::Key_M);
    opened.type("viewFilterField", "web02");
    QTRY_COMPARE(opened.rowCount(), 2);
    opened.table->setFocus();
    opened.key(Qt::Key_U);
    QVERIFY2(opened.said().contains("No marks"), qPrintable(opened.said()));
}

void tst_LogView::alertsSetFromTheView()
{
    Opened opened;
    opened.table->setFocus();
    opened.table->setCurrentRow(0);
    opened.key(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    auto *field = opened.view->findChild<QLineEdit *>("viewAlertField");
    QVERIFY(field->isVisible());
    QCOMPARE(field->text(), QStringLiteral("host:fw01 app:app"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!field->isVisible());
    // The box's rules: one set, whichever window set it.
    const AlertRules &rules = opened.log.findChild<AlertController *>()->rules();
    QCOMPARE(rules.alerts().size(), std::size_t(1));
    QCOMPARE(rules.alerts().front().rule.text(), QStringLiteral("host:fw01 app:app"));
    QMenu *menu = nullptr;
    for (QMenu *candidate : opened.view->findChildren<QMenu *>()) {
        if (candidate->title() == "&Alerts")
            menu = candidate;
    }
    QVERIFY(menu);
    emit menu->aboutToShow();
    QAction *listed = menu->actions().constLast();
    QCOMPARE(listed->text(), QString::fromUtf8("Alert on \u201chost:fw01 app:app\u201d"));
    QVERIFY(listed->isChecked());
}

void tst_LogView::copiesPayloadsExactly()
{
    Opened opened;
    opened.table->setFocus();
    opened.key(Qt::Key_A, Qt::ControlModifier);
    opened.key(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             "<14>1 - fw01 app - - - first\r\n<11>1 - web02 app - - - second\r\n"
             "<14>1 - fw01 app - - - third\r\nno priority: fourth\r\n");
}

void tst_LogView::timelineGoesToItsSecond()
{
    Opened opened;
    auto *timeline = opened.view->findChild<Timeline *>();
    emit timeline->secondClicked(3);
    QCOMPARE(opened.table->currentRow(), 2); // the gap before the datagram of second 3
    emit timeline->secondClicked(4);
    QCOMPARE(opened.table->currentRow(), 4);
}

void tst_LogView::clearEmptiesIt()
{
    Opened opened;
    opened.log.clearLog();
    QCOMPARE(opened.rowCount(), 0);
    QTRY_VERIFY(opened.status().startsWith("0 arrivals"));
    opened.log.appendLine("after", arrivalFrom("192.0.2.1", 514, 9 * NsPerSecond));
    QTRY_COMPARE(opened.rowCount(), 1);
}

QTEST_MAIN(tst_LogView)
#include "tst_logview.moc"
