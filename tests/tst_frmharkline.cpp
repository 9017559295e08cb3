// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FRM_Harkline.h"
#include "LogBox.h"

#include "FreePort.h"
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QUdpSocket>

namespace {

template<typename T = QWidget> T *child(QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

} // namespace

class tst_FRM_Harkline : public QObject
{
    Q_OBJECT

private slots:
    void startsInIdleState();
    void controlsStandWhereTheFormPutsThem_data();
    void controlsStandWhereTheFormPutsThem();
    void tabOrder();
    void resizingMovesNothing();
    void accessKeysDriveTheWholeCycle();
    void refusedPortComesBackAs514();
    void datagramFromAnotherSocketBecomesALine();
    void burstArrivesWholeAndInOrder();
    void typedTextIsKept();
    void logTextRoundTrips_data();
    void logTextRoundTrips();
    void appendedLinesShowAsLines();
    void viewFollowsOnlyFromTheBottom();
    void insertionWaitsWhileTheReaderNeedsTheProcessor();

private:
    void showActive(FRM_Harkline &window);
};

void tst_FRM_Harkline::showActive(FRM_Harkline &window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void tst_FRM_Harkline::startsInIdleState()
{
    FRM_Harkline window;
    showActive(window);

    QCOMPARE(window.windowTitle(), QStringLiteral("Harkline 1.0 "));
    QCOMPARE(window.size(), QSize(404, 150));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(QApplication::focusWidget(), child(window, "TXT_Input"));

    QCOMPARE(window.portText(), QStringLiteral("514"));
    QCOMPARE(window.logText(), QString());
    QVERIFY(window.isStartVisible());
    QVERIFY(!window.isStopVisible());
    QVERIFY(!window.isCheckEnabled());
    QVERIFY(child(window, "Command1")->isVisible());
    QVERIFY(!child(window, "Command2")->isVisible());
    QVERIFY(!child(window, "CMD_Check")->isEnabled());

    QCOMPARE(child<QLabel>(window, "Label1")->text(), QStringLiteral("UDP Port"));
    QCOMPARE(child<QLabel>(window, "LBL_Harkline")->text(), QStringLiteral("Harkline"));
    QCOMPARE(child<QPushButton>(window, "Command1")->text(), QStringLiteral("&Start"));
    QCOMPARE(child<QPushButton>(window, "Command2")->text(), QStringLiteral("&Stop"));
    QCOMPARE(child<QPushButton>(window, "CMD_Check")->text(), QStringLiteral("&Check"));
    for (const char *name : { "Command1", "Command2", "CMD_Check" }) {
        auto *button = child<QPushButton>(window, name);
        QVERIFY2(!button->isDefault() && !button->autoDefault(), name);
    }
    QCOMPARE(child<QLineEdit>(window, "Text1")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    // Neither box cuts what is typed or pasted (a line edit's own default is 32,767 characters).
    auto *portBox = child<QLineEdit>(window, "Text1");
    portBox->setText(QString(100000, u'7'));
    QCOMPARE(window.portText().size(), 100000);
    portBox->setText(QStringLiteral("514"));

    const QFont title = child(window, "LBL_Harkline")->font();
    QVERIFY(title.bold());
    QCOMPARE(title.pointSize(), 18);
    QVERIFY(!title.italic() && !title.underline() && !title.strikeOut());
    QCOMPARE(child(window, "Label1")->font(), QApplication::font());

    auto *picture = child<QLabel>(window, "Picture1");
    QCOMPARE(picture->pixmap().deviceIndependentSize(), QSizeF(192, 29));
    QCOMPARE(picture->frameShadow(), QFrame::Sunken);
    QCOMPARE(picture->frameWidth(), 2);
    QVERIFY(!picture->toolTip().isEmpty() && !picture->toolTip().contains(u'\n'));
    QCOMPARE(window.windowIcon().availableSizes().value(0), QSize(77, 60));

    auto *log = child<LogBox>(window, "TXT_Input");
    QCOMPARE(log->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!log->isReadOnly());
    QVERIFY(!log->isUndoRedoEnabled());
    QVERIFY(log->tabChangesFocus());
    QCOMPARE(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void tst_FRM_Harkline::controlsStandWhereTheFormPutsThem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");

    // Twips divided by 15.
    QTest::newRow("TXT_Input") << "TXT_Input" << QRect(0, 40, 335, 101);
    QTest::newRow("Label1") << "Label1" << QRect(344, 40, 49, 19);
    QTest::newRow("Text1") << "Text1" << QRect(344, 56, 48, 19);
    QTest::newRow("Command1") << "Command1" << QRect(344, 80, 54, 28);
    QTest::newRow("Command2") << "Command2" << QRect(344, 80, 54, 28);
    QTest::newRow("Picture1") << "Picture1" << QRect(0, 0, 196, 33);
    QTest::newRow("LBL_Harkline") << "LBL_Harkline" << QRect(208, 0, 193, 25);
    QTest::newRow("CMD_Check") << "CMD_Check" << QRect(344, 120, 54, 25);
}

void tst_FRM_Harkline::controlsStandWhereTheFormPutsThem()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    FRM_Harkline window;
    window.show();
    QWidget *control = child(window, qPrintable(name));
    QVERIFY(control);
    if (name == "Label1") {
        // Grows only as far as its caption needs in the desktop's font, and stays inside.
        QCOMPARE(control->pos(), geometry.topLeft());
        QCOMPARE(control->height(), geometry.height());
        QVERIFY(control->width() >= geometry.width());
        QVERIFY(control->geometry().right() < window.width());
    } else {
        QCOMPARE(control->geometry(), geometry);
    }
}

void tst_FRM_Harkline::tabOrder()
{
    FRM_Harkline window;
    showActive(window);
    // Command2 is hidden until Start, so Tab passes over it.
    const QStringList expected = { "Text1", "Command1", "Picture1", "TXT_Input" };
    QStringList visited;
    auto *log = child(window, "TXT_Input");
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);

    // The declared order, hidden and disabled controls included.
    QStringList chain;
    for (QWidget *w = log->nextInFocusChain(); w != log; w = w->nextInFocusChain()) {
        if (w->parentWidget() == &window && w->focusPolicy() & Qt::TabFocus)
            chain << w->objectName();
    }
    QCOMPARE(chain, QStringList({ "Text1", "Command1", "Command2", "Picture1", "CMD_Check" }));
    QVERIFY(!(child(window, "Label1")->focusPolicy() & Qt::TabFocus));
    QVERIFY(!(child(window, "LBL_Harkline")->focusPolicy() & Qt::TabFocus));
}

void tst_FRM_Harkline::resizingMovesNothing()
{
    FRM_Harkline window;
    window.show();
    QList<QRect> before;
    const auto controls = window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls)
        before << control->geometry();
    window.resize(800, 500);
    QTRY_COMPARE(window.size(), QSize(800, 500));
    for (int i = 0; i < controls.size(); ++i)
        QCOMPARE(controls.at(i)->geometry(), before.at(i));
}

void tst_FRM_Harkline::accessKeysDriveTheWholeCycle()
{
    FRM_Harkline window;
    showActive(window);
    const quint16 port = freePort();
    window.setPortText(QString::number(port));

    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier); // Check is disabled: nothing happens
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(window.isStopVisible());
    QVERIFY(!window.isStartVisible());
    QVERIFY(window.isCheckEnabled());
    QCOMPARE(child(window, "Command2")->geometry(), child(window, "Command1")->geometry());
    QUdpSocket holder;
    QVERIFY2(!holder.bind(QHostAddress::AnyIPv4, port), "Start did not take the port");

    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(window.logText(),
                 QStringLiteral("Reception is OK on UDP port : %1\r\n").arg(port));

    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier); // now Stop
    QTRY_VERIFY(!window.isVisible());
    QVERIFY2(holder.bind(QHostAddress::AnyIPv4, port), "Stop did not free the port");
}

void tst_FRM_Harkline::refusedPortComesBackAs514()
{
    FRM_Harkline window;
    showActive(window);
    window.setPortText("32001");
    QTest::mouseClick(child(window, "Command1"), Qt::LeftButton);
    QCOMPARE(window.portText(), QStringLiteral("514"));
    QVERIFY(window.isStartVisible());
    QVERIFY(!window.isCheckEnabled());
    // Enter and Escape press no button.
    window.setPortText("32001");
    QTest::keyClick(child(window, "Text1"), Qt::Key_Return);
    QTest::keyClick(child(window, "Text1"), Qt::Key_Escape);
    QCOMPARE(window.portText(), QStringLiteral("32001"));
}

void tst_FRM_Harkline::datagramFromAnotherSocketBecomesALine()
{
    FRM_Harkline window;
    showActive(window);
    window.setPortText(QString::number(freePort()));
    QTest::mouseClick(child(window, "Command1"), Qt::LeftButton);
    QVERIFY(window.isStopVisible());

    QUdpSocket sender;
    sender.writeDatagram("<34>Oct 11 22:14:15 mymachine su: 'su root' failed",
                         QHostAddress::LocalHost, quint16(window.portText().toInt()));
    QTRY_COMPARE(window.logText(),
                 QStringLiteral("<34>Oct 11 22:14:15 mymachine su: 'su root' failed\r\n"));
    auto *log = child<LogBox>(window, "TXT_Input");
    QCOMPARE(log->document()->blockCount(), 2);
    QCOMPARE(log->document()->firstBlock().text(),
             QStringLiteral("<34>Oct 11 22:14:15 mymachine su: 'su root' failed"));
}

void tst_FRM_Harkline::burstArrivesWholeAndInOrder()
{
    constexpr int Count = 10000;
    FRM_Harkline window;
    showActive(window);
    const quint16 port = freePort();
    window.setPortText(QString::number(port));
    QTest::mouseClick(child(window, "Command1"), Qt::LeftButton);

    QUdpSocket sender;
    QString expected;
    for (int i = 0; i < Count; ++i) {
        const QByteArray payload = "datagram " + QByteArray::number(i);
        sender.writeDatagram(payload, QHostAddress::LocalHost, port);
        expected += QString::fromLatin1(payload) + "\r\n";
        // All of it arrives while this thread, the window's, is busy sending; the pauses only
        // keep each burst within what the kernel holds for a socket at the stock limits.
        if (i % 50 == 49)
            QThread::usleep(300);
    }
    auto *log = child<LogBox>(window, "TXT_Input");
    QTRY_COMPARE_WITH_TIMEOUT(log->document()->blockCount(), Count + 1, 20000);
    QCOMPARE(window.logText(), expected);
}

void tst_FRM_Harkline::typedTextIsKept()
{
    FRM_Harkline window;
    showActive(window);
    const quint16 port = freePort();
    window.setPortText(QString::number(port));
    QTest::mouseClick(child(window, "Command1"), Qt::LeftButton);

    auto *log = child<LogBox>(window, "TXT_Input");
    log->setFocus();
    QTest::keyClicks(log, "my note: ");
    QUdpSocket sender;
    sender.writeDatagram("first", QHostAddress::LocalHost, port);
    QTRY_COMPARE(window.logText(), QStringLiteral("my note: first\r\n"));

    // Typing where the caret stands, after the new line, and replacing everything.
    QTest::keyClicks(log, "typed");
    sender.writeDatagram("second", QHostAddress::LocalHost, port);
    QTRY_COMPARE(window.logText(), QStringLiteral("my note: first\r\ntypedsecond\r\n"));
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_Delete);
    QCOMPARE(window.logText(), QString());
    sender.writeDatagram("third", QHostAddress::LocalHost, port);
    QTRY_COMPARE(window.logText(), QStringLiteral("third\r\n"));
}

void tst_FRM_Harkline::logTextRoundTrips_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("blocks");

    QTest::newRow("empty") << "" << 1;
    QTest::newRow("one line") << "abc\r\n" << 2;
    QTest::newRow("CR LF inside a payload") << "a\r\nb\r\n" << 3;
    QTest::newRow("lone line feed stays in its paragraph") << "a\nb\r\n" << 2;
    QTest::newRow("lone carriage return stays in its line") << "a\rb\r\n" << 2;
    QTest::newRow("CR CR LF") << "a\r\r\n" << 2;
    QTest::newRow("LF CR") << "a\n\rb" << 1;
    QTest::newRow("NUL") << QString("a") + QChar(0) + "b\r\n" << 2;
    QTest::newRow("no-break space is no space") << QString("a") + QChar(0xA0) + "b" << 1;
    QTest::newRow("every Latin-1 character") << [] {
        QString all;
        for (int c = 0; c < 256; ++c)
            all += QChar(c);
        return all;
    }() << 1;
}

void tst_FRM_Harkline::logTextRoundTrips()
{
    QFETCH(QString, text);
    QFETCH(int, blocks);
    LogBox log;
    log.setText(text);
    QCOMPARE(log.text(), text);
    QCOMPARE(log.document()->blockCount(), blocks);

    // The same text appended as a payload reads back the same, plus the line end.
    LogBox appended;
    appended.appendLine(text, {});
    QCOMPARE(appended.text(), text + "\r\n"); // current before the event loop turns
    QTRY_COMPARE(appended.document()->blockCount(), blocks + 1);
    QCOMPARE(appended.text(), text + "\r\n");
}

void tst_FRM_Harkline::appendedLinesShowAsLines()
{
    LogBox log;
    log.setText("typed");
    for (int i = 0; i < 3; ++i)
        log.appendLine(QString::number(i), {});
    QCOMPARE(log.document()->blockCount(), 1); // nothing inserted yet: one insertion per pass
    QTRY_COMPARE(log.document()->blockCount(), 4);
    QCOMPARE(log.toPlainText(), QStringLiteral("typed0\n1\n2\n"));
}

void tst_FRM_Harkline::viewFollowsOnlyFromTheBottom()
{
    LogBox log;
    log.resize(335, 101);
    log.show();
    for (int i = 0; i < 100; ++i)
        log.appendLine(QString::number(i), {});
    QTRY_COMPARE(log.document()->blockCount(), 101);
    QScrollBar *bar = log.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum()); // followed from the start

    log.appendLine("more", {});
    QTRY_COMPARE(log.document()->blockCount(), 102);
    QCOMPARE(bar->value(), bar->maximum());

    bar->setValue(10); // the user scrolled up to read
    const QTextCursor caret = log.textCursor();
    log.appendLine("while reading", {});
    QTRY_COMPARE(log.document()->blockCount(), 103);
    QCOMPARE(bar->value(), 10);
    QCOMPARE(log.textCursor().position(), caret.position());
}

void tst_FRM_Harkline::insertionWaitsWhileTheReaderNeedsTheProcessor()
{
    LogBox log;
    bool readerNeedsProcessor = true;
    log.setYieldCondition([&] { return readerNeedsProcessor; });
    for (int i = 0; i < 3; ++i)
        log.appendLine(QString::number(i), {});
    QTest::qWait(100); // several frames
    QCOMPARE(log.document()->blockCount(), 1);
    QCOMPARE(log.text(), QStringLiteral("0\r\n1\r\n2\r\n"));

    // What the user types still goes after everything that arrived before it.
    log.setFocus();
    QTest::keyClick(&log, Qt::Key_X);
    QCOMPARE(log.text(), QStringLiteral("0\r\n1\r\n2\r\nx"));
    log.appendLine("3", {});
    readerNeedsProcessor = false;
    QTRY_COMPARE(log.document()->blockCount(), 5);
    QCOMPARE(log.text(), QStringLiteral("0\r\n1\r\n2\r\nx3\r\n"));
}

QTEST_MAIN(tst_FRM_Harkline)
#include "tst_frmharkline.moc"
