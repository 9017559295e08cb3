// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The log box as a user meets it: exact copy and paste, every way text enters it, the details of
// each line through the user's edits, the limit of what the box holds, find, the margin, the
// notices, Clear and the saves with their questions and errors.

#include "DatagramDetails.h"
#include "HexDump.h"
#include "LogBox.h"
#include "LogFeed.h"
#include "LogMargin.h"
#include "LogSaver.h"
#include "LogSearch.h"

#include "LogSamples.h"
#include "SaveNow.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

namespace {

// Shortcuts work only in the active window.
void showActive(QWidget &widget)
{
    widget.show();
    widget.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&widget));
    widget.setFocus();
}

// A tool window counts as active while its parent is: make it the window that has the focus.
void activate(QWidget &tool)
{
    tool.windowHandle()->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), tool.windowHandle());
}

// A box shown at the window's size with datagrams "first", "second" and "third" in it.
struct ThreeLines
{
    LogBox log;
    ThreeLines()
    {
        log.resize(335, 101);
        log.show();
        log.appendLine("first", arrivalFrom("192.0.2.1", 514, 1));
        log.appendLine("second", arrivalFrom("192.0.2.2", 514, 2));
        log.appendLine("third", arrivalFrom("192.0.2.3", 514, 3));
        log.insertPending();
        showActive(log);
    }
    void caretAt(int line, int column)
    {
        QTextCursor cursor(log.document()->findBlockByNumber(line));
        cursor.setPosition(cursor.position() + column);
        log.setTextCursor(cursor);
    }
    void select(int fromLine, int fromColumn, int toLine, int toColumn)
    {
        QTextCursor cursor(log.document()->findBlockByNumber(fromLine));
        cursor.setPosition(cursor.position() + fromColumn);
        const QTextBlock to = log.document()->findBlockByNumber(toLine);
        cursor.setPosition(to.position() + toColumn, QTextCursor::KeepAnchor);
        log.setTextCursor(cursor);
    }
    // Each line, and the datagram whose details it shows beside it (-1: none).
    QStringList linesAndDetails() const
    {
        QStringList lines;
        for (QTextBlock block = log.document()->firstBlock(); block.next().isValid();
             block = block.next()) {
            lines << QStringLiteral("%1 %2")
                         .arg(block.text())
                         .arg(log.model().lines().firstLineArrival(block).value_or(-1));
        }
        return lines;
    }
};

// Answers the next message box by clicking its button 'button' once it shows, and gives its text
// to 'text'; a box without that button is closed.
void answerNextMessage(const QString &button, QString *text)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, button, text] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->deleteLater();
        *text = box->text();
        const QList<QAbstractButton *> buttons = box->buttons();
        const auto named = std::find_if(buttons.begin(), buttons.end(), [&](QAbstractButton *b) {
            return b->text().remove(u'&') == button;
        });
        if (named != buttons.end())
            (*named)->click();
        else
            box->reject();
    });
    poll->start(10);
}

} // namespace

class tst_LogBox : public QObject
{
    Q_OBJECT

private slots:
    void copyAndPasteAreExact_data();
    void copyAndPasteAreExact();
    void everyWayTextEntersIsExact_data();
    void everyWayTextEntersIsExact();
    void detailsFollowTheTextThroughEdits_data();
    void detailsFollowTheTextThroughEdits();
    void limitHoldsAfterEveryPass();
    void feedKeepsOnlyWhatWaits();
    void everyLineKeepsItsDatagram();
    void findFieldClosesWithEscape();
    void findNextAndPreviousWrap();
    void findKeepsTheCaseRule_data();
    void findKeepsTheCaseRule();
    void findIsNotMisledByLinesMovingOut();
    void findLaysOutNoLineItPasses();
    void findSaysWhatItDidNotSearch();
    void dropNoticeLeadsToTheGap();
    void marginShowsTheFirstLineOfEachDatagram();
    void marginMarksSeveritiesApart();
    void newLinesBelowNotice();
    void noticesAndFieldsStayOffTheText();
    void clearEmptiesEverything();
    void rulesHideButNeverChangeTheLog();
    void rulesCountRightAsLinesMoveOut_data();
    void rulesCountRightAsLinesMoveOut();
    void copyAndEditAroundHiddenLines();
    void senderRulesFromTheContextMenu();
    void jumpsToProblemsAndMarks();
    void menuSaysWhatIsOn();
    void highlightsColourEveryOccurrence();
    void highlightsKeepClearOfTheSelection_data();
    void highlightsKeepClearOfTheSelection();
    void controlBytesAreDrawnVisibly();
    void detailsFollowTheCaret();
    void detailsPlacedBeside_data();
    void detailsPlacedBeside();
    void detailsShowEveryRowAndCloseByKeys();
    void detailsHaveOnlyTheRowsTheyKnow_data();
    void detailsHaveOnlyTheRowsTheyKnow();
    void saveAsksBeforeUtf8();
    void saveFailuresAreReported();
    void arrivalsFileTypeByName_data();
    void arrivalsFileTypeByName();
    void savesRunInTheBackgroundOneAtATime();
    void escapeCancelsASave();
};

void tst_LogBox::copyAndPasteAreExact_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("datagram"); // or only ever pasted: no datagram holds these characters
    QTest::newRow("every Latin-1 character") << allLatin1() + "\r\n" << true;
    QTest::newRow("line ends of every kind") << QStringLiteral("a\rb\nc\r\nx\r\r\n\n\r") << true;
    QTest::newRow("no-break space") << QString("x") + QChar(0xA0) + "y\r\n" << true;
    QTest::newRow("the box's own signs, pasted") << QString("a") + QChar(0x240D) + "b"
            + QChar(0x2028) + "c" + QChar(0x2029) + "d" + QChar(0xFDD0)
            + "\r\n" << false;
}

void tst_LogBox::copyAndPasteAreExact()
{
    QFETCH(QString, text);
    QFETCH(bool, datagram);
    if (datagram) {
        // Arrived as a datagram, copied from the box.
        LogBox received;
        received.appendLine(text, {});
        QTRY_COMPARE(received.document()->blockCount(), text.count(QLatin1String("\r\n")) + 2);
        received.selectAll();
        received.copy();
        QCOMPARE(QApplication::clipboard()->text(), text + "\r\n");
    } else {
        QApplication::clipboard()->setText(text + "\r\n");
    }

    // Pasted into an empty box: the same text, exactly.
    LogBox pasted;
    pasted.paste();
    QCOMPARE(pasted.text(), text + "\r\n");
    pasted.selectAll();
    pasted.copy();
    QCOMPARE(QApplication::clipboard()->text(), text + "\r\n");
}

void tst_LogBox::everyWayTextEntersIsExact_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("text");
    const QString signs = QString("x") + QChar(0x240D) + QChar(0x2028) + QChar(0x2029) + "y";
    const QString lineEnds = QString("a") + QChar(0x240D) + "b" + QChar(0x2028) + "c\nd\re\r\nf";
    QTest::newRow("typed, a key at a time") << "keys" << signs;
    QTest::newRow("an input method") << "input method" << lineEnds;
    QTest::newRow("pasted") << "paste" << lineEnds;
    QTest::newRow("dropped") << "drop" << lineEnds;
}

void tst_LogBox::everyWayTextEntersIsExact()
{
    QFETCH(QString, way);
    QFETCH(QString, text);
    LogBox log;
    log.resize(335, 101);
    log.show();
    log.appendLine("datagram", {});
    log.insertPending();
    log.setFocus();
    log.moveCursor(QTextCursor::End);
    if (way == "keys") {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&log, &press);
        }
    } else if (way == "input method") {
        QInputMethodEvent composing(QStringLiteral("compos"), {});
        QApplication::sendEvent(&log, &composing);
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(&log, &commit);
    } else if (way == "paste") {
        QApplication::clipboard()->setText(text);
        log.paste();
    } else {
        QMimeData data;
        data.setText(text);
        const QPointF below(50, log.viewport()->height() - 5); // under the last line
        QDragEnterEvent enter(below.toPoint(), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(log.viewport(), &enter);
        QDropEvent drop(below, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(log.viewport(), &drop);
    }
    QCOMPARE(log.text(), "datagram\r\n" + text);
    // What the user entered shows no arrival.
    QCOMPARE(log.model().lines().of(log.document()->lastBlock()), std::nullopt);
}

void tst_LogBox::detailsFollowTheTextThroughEdits_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("join with Backspace")
        << "Backspace at 1:0" << QStringList { "firstsecond 0", "third 2" };
    QTest::newRow("join with Delete")
        << "Delete at 0:5" << QStringList { "firstsecond 0", "third 2" };
    QTest::newRow("join by deleting a selection")
        << "select 0:3-1:3, Delete" << QStringList { "firond 0", "third 2" };
    QTest::newRow("split with Return")
        << "Return at 1:3" << QStringList { "first 0", "sec 1", "ond -1", "third 2" };
    QTest::newRow("Return at the start of a line")
        << "Return at 1:0" << QStringList { "first 0", " -1", "second 1", "third 2" };
    QTest::newRow("a pasted line end")
        << "paste at 1:3" << QStringList { "first 0", "secx 1", "yond -1", "third 2" };
    QTest::newRow("a received line emptied")
        << "select 1:0-1:6, Delete" << QStringList { "first 0", " -1", "third 2" };
    QTest::newRow("a line of one's own")
        << "type at 1:0" << QStringList { "first 0", "note -1", "second 1", "third 2" };
    QTest::newRow("joined and split again")
        << "Backspace at 1:0, Return" << QStringList { "first 0", "second 1", "third 2" };
}

void tst_LogBox::detailsFollowTheTextThroughEdits()
{
    QFETCH(QString, edit);
    QFETCH(QStringList, expected);
    ThreeLines box;
    const QRegularExpression place(QStringLiteral(R"((\d):(\d)(?:-(\d):(\d))?)"));
    const QRegularExpressionMatch at = place.match(edit);
    if (edit.startsWith("select"))
        box.select(at.captured(1).toInt(), at.captured(2).toInt(), at.captured(3).toInt(),
                   at.captured(4).toInt());
    else
        box.caretAt(at.captured(1).toInt(), at.captured(2).toInt());

    if (edit.startsWith("Backspace"))
        QTest::keyClick(&box.log, Qt::Key_Backspace);
    if (edit.startsWith("Delete") || edit.endsWith("Delete"))
        QTest::keyClick(&box.log, Qt::Key_Delete);
    if (edit.startsWith("Return") || edit.endsWith("Return"))
        QTest::keyClick(&box.log, Qt::Key_Return);
    if (edit.startsWith("paste")) {
        QApplication::clipboard()->setText(QStringLiteral("x\r\ny"));
        QTest::keyClick(&box.log, Qt::Key_V, Qt::ControlModifier);
    }
    if (edit.startsWith("type")) {
        QTest::keyClicks(&box.log, "note");
        QTest::keyClick(&box.log, Qt::Key_Return);
    }
    QCOMPARE(box.linesAndDetails(), expected);
}

void tst_LogBox::limitHoldsAfterEveryPass()
{
    // A thousand lines of 100 characters in one frame, against a limit of 20,000 characters.
    LogBox log;
    log.setDocumentLimit({ 20000, 1 << 20 });
    QString expected;
    QSignalSpy changes(log.document(), &QTextDocument::contentsChanged);
    int largest = 0;
    connect(log.document(), &QTextDocument::contentsChanged, &log,
            [&] { largest = std::max(largest, log.document()->characterCount()); });
    for (int i = 0; i < 1000; ++i) {
        const QString line = QStringLiteral("line %1 ").arg(i).leftJustified(100, u'.');
        log.appendLine(line, arrivalFrom("192.0.2.1", quint16(i), i));
        expected += line + "\r\n";
    }
    QTRY_COMPARE(log.model().archive().lineCount() + log.document()->blockCount() - 1, 1000);
    QCOMPARE_LE(log.document()->characterCount(), 20000);
    // Over by at most one batch of lines while it goes in.
    QCOMPARE_LE(largest, 20000 + 16 * 1024 + 102);
    QCOMPARE(log.text(), expected);

    // The lines still in the box show their own arrivals; the lines kept aside are saved too.
    const QTextBlock last = log.document()->lastBlock().previous();
    QCOMPARE(log.model().lines().of(last), std::optional<qint64>(999));
    QCOMPARE(log.model().arrivals().at(999)->arrival.port, 999);
    QTemporaryDir dir;
    const SaveResult result = saveLogNow(log.model().snapshot(), dir.filePath("log"));
    QVERIFY2(result.outcome == SaveResult::Outcome::Written, qPrintable(result.error));
    QFile saved(dir.filePath("log"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), expected.toLatin1());

    // A paste larger than the limit is held to it too.
    log.moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QString(30000, u'p') + "\r\nq");
    log.paste();
    QCOMPARE_LE(log.document()->characterCount(), 30000 + 2); // one line longer than the limit
    QVERIFY(log.text().startsWith(expected));

    // And so are lines typed key by key.
    LogBox typed;
    typed.setDocumentLimit({ 2000, 1 << 20 });
    showActive(typed);
    const QString line(49, u't');
    for (int i = 0; i < 80; ++i) {
        QTest::keyClicks(&typed, line);
        QTest::keyClick(&typed, Qt::Key_Return);
    }
    QCOMPARE_LE(typed.document()->characterCount(), 2000 + 50);
    QCOMPARE(typed.text(), (line + "\r\n").repeated(80));
}

void tst_LogBox::feedKeepsOnlyWhatWaits()
{
    // While the feed leaves the processor to the reader between batches, it keeps only what has
    // not gone in yet.
    QWidget view;
    QTextDocument document;
    LogModel model(&document);
    LogFeed feed(model, &view);
    int batchesLeft = 1;
    feed.setYieldCondition([&batchesLeft] { return batchesLeft-- <= 0; });
    QString all;
    for (int i = 0; i < 2000; ++i) {
        const QString line = QStringLiteral("line %1 ").arg(i).leftJustified(40, u'.');
        model.arrivals().append(line, {});
        feed.append(line, i);
        all += line + "\r\n";
    }
    feed.insert(LogFeed::Insert::Yielding);
    const qsizetype inserted = model.text().text(0, document.characterCount() - 1).size();
    QVERIFY(inserted > 0 && inserted < all.size());
    QCOMPARE(feed.pendingCharacters(), all.size() - inserted);
    QCOMPARE(feed.pendingText(), all.mid(inserted));
    feed.insert(LogFeed::Insert::Everything);
    QCOMPARE(feed.pendingCharacters(), 0);
    QCOMPARE(model.text().text(0, document.characterCount() - 1), all);
}

void tst_LogBox::everyLineKeepsItsDatagram()
{
    // Short datagrams among the others, in one insertion: each line tells its own datagram.
    LogBox log;
    const QStringList payloads = { "ab", "a", "", "x\r\ny", "\r", "b", "cd" };
    for (const QString &payload : payloads)
        log.appendLine(payload, arrivalFrom("192.0.2.1", 514, 1));
    log.insertPending();
    const QList<qint64> expected = { 0, 1, 2, 3, 3, 4, 5, 6 };
    QList<qint64> told;
    for (QTextBlock line = log.document()->firstBlock(); line != log.document()->lastBlock();
         line = line.next())
        told << log.model().lines().of(line).value_or(-1);
    QCOMPARE(told, expected);
}

void tst_LogBox::findFieldClosesWithEscape()
{
    ThreeLines box;
    box.caretAt(0, 0);
    QTest::keyClick(&box.log, Qt::Key_F, Qt::ControlModifier);
    auto *field = box.log.findChild<QLineEdit *>("findField");
    QVERIFY(field && field->isVisible() && field->hasFocus());
    QTest::keyClicks(field, "ir");
    QTRY_COMPARE(box.log.textCursor().selectedText(), QStringLiteral("ir"));
    QCOMPARE(box.log.extraSelections().size(), 2); // "fIRst", "thIRd"

    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    QVERIFY(box.log.extraSelections().isEmpty());
    QCOMPARE(box.log.textCursor().selectedText(), QStringLiteral("ir")); // the match stays
    QVERIFY(box.log.hasFocus());
    // Typing goes to the log again, where the match was.
    QTest::keyClicks(&box.log, "x");
    QCOMPARE(box.log.document()->firstBlock().text(), QStringLiteral("fxst"));
}

void tst_LogBox::findNextAndPreviousWrap()
{
    ThreeLines box;
    box.caretAt(0, 0);
    QTest::keyClick(&box.log, Qt::Key_F, Qt::ControlModifier);
    auto *field = box.log.findChild<QLineEdit *>("findField");
    auto *status = box.log.findChild<QLabel *>("findStatus");
    QTest::keyClicks(field, "d");
    const auto selectedAt = [&] { return box.log.textCursor().selectionStart(); };
    QTRY_COMPARE(selectedAt(), 11); // "seconD"
    QTest::keyClick(&box.log, Qt::Key_F3);
    QTRY_COMPARE(selectedAt(), 17); // "thirD"
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_COMPARE(selectedAt(), 11);
    QCOMPARE(status->text(), QStringLiteral("Wrapped"));
    QTest::keyClick(&box.log, Qt::Key_F3, Qt::ShiftModifier);
    QTRY_COMPARE(selectedAt(), 17);
    QCOMPARE(status->text(), QStringLiteral("Wrapped"));
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    QTRY_COMPARE(selectedAt(), 11);
    QCOMPARE(status->text(), QString());
    field->setText("nowhere");
    QTRY_COMPARE(status->text(), QStringLiteral("Not found"));
}

void tst_LogBox::findKeepsTheCaseRule_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QList<int>>("found"); // where in "Error error ERROR érror ÉRROR"
    QTest::newRow("no capital: any case") << "error" << QList<int>({ 0, 6, 12 });
    QTest::newRow("a capital: that case") << "Error" << QList<int>({ 0 });
    QTest::newRow("all capitals") << "ERROR" << QList<int>({ 12 });
    QTest::newRow("beyond ASCII, no capital") << "érror" << QList<int>({ 18, 24 });
    QTest::newRow("beyond ASCII, a capital") << "ÉRROR" << QList<int>({ 24 });
}

void tst_LogBox::findKeepsTheCaseRule()
{
    QFETCH(QString, needle);
    QFETCH(QList<int>, found);
    QTextDocument document(QString::fromUtf8("Error error ERROR érror ÉRROR"));
    QCOMPARE(LogSearch::matchesIn(document.firstBlock(), needle), found);
}

void tst_LogBox::findIsNotMisledByLinesMovingOut()
{
    // The search is under way when the oldest lines move out of the document.
    QTextDocument document;
    QTextCursor cursor(&document);
    for (int i = 0; i < 100; ++i)
        cursor.insertText(QStringLiteral("line %1").arg(i) + QChar(QChar::ParagraphSeparator));
    LogSearch search(&document);
    QSignalSpy found(&search, &LogSearch::found);
    search.find(QStringLiteral("line 50"), document.findBlockByNumber(40).position(), false);
    QTextCursor oldest(&document);
    oldest.setPosition(document.findBlockByNumber(20).position(), QTextCursor::KeepAnchor);
    oldest.removeSelectedText();
    QTRY_COMPARE(found.size(), 1);
    QCOMPARE(found.at(0).at(0).toInt(), document.findBlockByNumber(30).position());
    QCOMPARE(found.at(0).at(2).toBool(), false); // not found by going round
}

// A line laid out keeps its layout: a search that laid out every line it passed would hold a
// layout for each line of the log.
void tst_LogBox::findLaysOutNoLineItPasses()
{
    QPlainTextEdit edit; // the document's layout is the one the log box has
    QTextCursor cursor(edit.document());
    for (int i = 0; i < 1000; ++i)
        cursor.insertText(QStringLiteral("line %1").arg(i) + QChar(QChar::ParagraphSeparator));
    const auto laidOut = [&] {
        int lines = 0;
        for (QTextBlock block = edit.document()->firstBlock(); block.isValid();
             block = block.next())
            lines += block.layout()->lineCount() > 0 ? 1 : 0;
        return lines;
    };
    const int before = laidOut();
    LogSearch search(edit.document());
    QSignalSpy notFound(&search, &LogSearch::notFound);
    search.find(QStringLiteral("nowhere"), 0, false);
    QTRY_COMPARE(notFound.size(), 1);
    QVERIFY2(laidOut() - before < 10, qPrintable(QString::number(laidOut() - before)));
}

void tst_LogBox::findSaysWhatItDidNotSearch()
{
    LogBox log;
    log.resize(335, 101);
    log.show();
    log.setDocumentLimit({ 2000, 1 << 20 });
    for (int i = 0; i < 100; ++i)
        log.appendLine(QStringLiteral("line %1 ").arg(i).leftJustified(50, u'.'), {});
    log.insertPending();
    QVERIFY(log.model().archive().lineCount() > 0);
    auto *earlier = log.findChild<QLabel *>("earlierLines");
    QVERIFY(!earlier->isVisible()); // following the newest lines, far from the top
    showActive(log);
    QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(earlier->isVisible());
    QCOMPARE(earlier->text(),
             QStringLiteral("%1 earlier lines kept aside: not searched")
                 .arg(log.model().archive().lineCount()));
    QVERIFY(earlier->mapTo(&log, QPoint()).y()
            > log.findChild<QWidget *>("findBar")->geometry().bottom());
}

void tst_LogBox::dropNoticeLeadsToTheGap()
{
    LogBox log;
    log.resize(335, 101);
    log.show();
    for (int i = 0; i < 50; ++i)
        log.appendLine(QStringLiteral("before %1").arg(i), {});
    log.appendLine("after\r\nthe gap", arrivalFrom("192.0.2.1", 514, 1, 3));
    for (int i = 0; i < 50; ++i)
        log.appendLine(QStringLiteral("after %1").arg(i), {});
    log.insertPending();
    auto *dropped = log.findChild<QLabel *>("droppedDatagrams");
    QVERIFY(dropped->isVisible());
    QCOMPARE(dropped->text(), QStringLiteral("3 dropped"));
    QTest::mouseClick(dropped, Qt::LeftButton);
    QCOMPARE(log.textCursor().block().text(), QStringLiteral("after")); // the datagram's first line
    QVERIFY(!dropped->isVisible());

    // Drops the system counted after the newest line: no line tells of them yet.
    log.setSystemDrops(3 + 5);
    QVERIFY(dropped->isVisible());
    QCOMPARE(dropped->text(), QStringLiteral("8 dropped"));
    log.moveCursor(QTextCursor::Start);
    QTest::mouseClick(dropped, Qt::LeftButton);
    QVERIFY(log.textCursor().atEnd());
    QVERIFY(!dropped->isVisible());
}

void tst_LogBox::marginShowsTheFirstLineOfEachDatagram()
{
    LogBox log;
    log.resize(335, 141); // the three lines and the notice of the loss
    log.show();
    log.appendLine("<11>an error\r\nin two lines", arrivalFrom("192.0.2.1", 514, 1));
    log.appendLine("<14>after a loss", arrivalFrom("2001:db8::5", 40000, 2, 7));
    log.appendLine(QString(), arrivalFrom("192.0.2.9", 9, 3));
    log.insertPending();
    showActive(log);
    QTest::keyClick(&log, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(log.isMarginShown());
    auto *margin = log.findChild<LogMargin *>("logMargin");
    QTRY_VERIFY(margin->width() > 0);
    const QImage image = margin->grab().toImage();
    const QList<LogLines::VisibleLine> lines = log.visibleLines();
    QCOMPARE_GE(lines.size(), 3);
    const auto markAt = [&](int line) {
        return image.pixelColor(0, lines.at(line).top + lines.at(line).height / 2);
    };
    QCOMPARE(markAt(1), image.pixelColor(0, image.height() - 1)); // a second line: no mark
    QVERIFY(markAt(0) != markAt(1));
    QCOMPARE(image.pixelColor(image.width() / 2, lines.at(2).top), LogMargin::LossColor);

    // The tooltip of either line of the first datagram tells all of it; a typed line tells none.
    const QString tip = log.model().detailsOf(lines.at(1).block);
    QVERIFY2(tip.contains("From 192.0.2.1:514") && tip.contains("severity error (3)")
                 && tip.endsWith("\nMessage: an error in two lines"),
             qPrintable(tip));
    QVERIFY(log.model().detailsOf(lines.at(2).block).contains("7 datagrams dropped"));
    // An empty datagram's line is its too.
    const QString emptyTip = log.model().detailsOf(log.document()->findBlockByNumber(3));
    QVERIFY2(emptyTip.contains("From 192.0.2.9:9"), qPrintable(emptyTip));
    log.moveCursor(QTextCursor::End);
    QTest::keyClicks(&log, "typed");
    QCOMPARE(log.model().detailsOf(log.document()->lastBlock()), QString());
    // A wide sender widens the margin.
    QTRY_VERIFY(margin->width()
                > QFontMetrics(margin->font()).horizontalAdvance("127.0.0.1:65535"));
}

void tst_LogBox::marginMarksSeveritiesApart()
{
    // Read from what is drawn, not from the colour table: the three gravest share a mark, every
    // other severity has one of its own, the errors and worse are red and a warning amber.
    LogBox log;
    log.resize(400, 400);
    for (int severity = 0; severity < 8; ++severity)
        log.appendLine(QStringLiteral("<%1>severity %2").arg(8 + severity).arg(severity),
                       arrivalFrom("192.0.2.1", 514, 1 + severity));
    log.appendLine("no priority", arrivalFrom("192.0.2.1", 514, 9));
    log.insertPending();
    showActive(log);
    QTest::keyClick(&log, Qt::Key_D, Qt::ControlModifier);
    auto *margin = log.findChild<LogMargin *>("logMargin");
    QTRY_VERIFY(margin->width() > 0);
    const QImage image = margin->grab().toImage();
    const QList<LogLines::VisibleLine> lines = log.visibleLines();
    QCOMPARE_GE(lines.size(), 9);
    QList<QColor> marks;
    for (int line = 0; line < 9; ++line)
        marks << image.pixelColor(0, lines.at(line).top + lines.at(line).height / 2);
    const QColor none = image.pixelColor(0, image.height() - 1);
    QCOMPARE(marks.at(8), none);
    QCOMPARE(marks.at(1), marks.at(0));
    QCOMPARE(marks.at(2), marks.at(0));
    for (int severity = 2; severity < 8; ++severity) {
        QVERIFY2(marks.at(severity) != none, qPrintable(QString::number(severity)));
        for (int other = severity + 1; other < 8; ++other)
            QVERIFY2(marks.at(severity) != marks.at(other),
                     qPrintable(QStringLiteral("%1 and %2").arg(severity).arg(other)));
    }
    const auto hue = [&](int severity) { return marks.at(severity).hslHue(); };
    for (int severity = 0; severity < 4; ++severity)
        QVERIFY2(hue(severity) < 25 || hue(severity) > 340, qPrintable(QString::number(severity)));
    QVERIFY(hue(4) >= 25 && hue(4) <= 60);
}

void tst_LogBox::noticesAndFieldsStayOffTheText()
{
    LogBox log;
    log.resize(335, 141);
    showActive(log);
    const int fullHeight = log.viewport()->height();
    log.setDocumentLimit({ 2000, 1 << 20 });
    for (int i = 0; i < 100; ++i)
        log.appendLine(QStringLiteral("<11>line %1 ").arg(i).leftJustified(50, u'.'),
                       arrivalFrom("192.0.2.1", 514, i, i == 99 ? 4 : 0));
    log.insertPending();
    auto *strip = log.findChild<QWidget *>("noticeStrip");
    QVERIFY(strip->isVisible()); // the drops

    // Every notice and both fields, with the margin on.
    QTest::keyClick(&log, Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto *filter = log.findChild<QLineEdit *>("filterField");
    // A long mistake leaves the field the room to correct it, and is read whole in its tooltip.
    QTest::keyClicks(filter, "/(unclosed and rather long/");
    auto *status = log.findChild<QLabel *>("filterStatus");
    QVERIFY(filter->width() >= log.findChild<QWidget *>("filterBar")->width() / 2);
    QVERIFY2(status->toolTip().startsWith("Not an expression: missing closing parenthesis"),
             qPrintable(status->toolTip()));
    filter->clear();
    QTest::keyClicks(filter, "!line 9");
    log.moveCursor(QTextCursor::End);
    QTest::keyClick(&log, Qt::Key_F8); // "Wrapped"
    QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier);
    log.verticalScrollBar()->setValue(0);
    log.appendLine("<11>new", arrivalFrom("192.0.2.1", 514, 100));
    log.insertPending();
    const QStringList notices = { "droppedDatagrams", "earlierLines", "showingLines", "jumpNotice",
                                  "newLinesBelow" };
    QList<QWidget *> overlays;
    for (const QString &name : notices) {
        auto *notice = log.findChild<QWidget *>(name);
        QVERIFY2(notice->isVisible(), qPrintable(name));
        overlays << notice;
    }
    overlays << log.findChild<QWidget *>("findBar") << log.findChild<QWidget *>("filterBar");
    QVERIFY(!overlays.at(overlays.size() - 2)->geometry().intersects(overlays.last()->geometry()));
    const QRect text(log.viewport()->mapTo(&log, QPoint()), log.viewport()->size());
    for (const QWidget *overlay : overlays) {
        const QRect place(overlay->mapTo(&log, QPoint()), overlay->size());
        QVERIFY2(overlay->isVisible() && !place.intersects(text),
                 qPrintable(overlay->objectName()));
        QVERIFY2(log.rect().contains(place), qPrintable(overlay->objectName()));
    }

    // With nothing to tell, the strip goes and the text has its room again.
    QTest::keyClick(log.findChild<QLineEdit *>("findField"), Qt::Key_Escape);
    QTest::keyClick(log.findChild<QLineEdit *>("filterField"), Qt::Key_Escape);
    QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::mouseClick(log.findChild<QWidget *>("droppedDatagrams"), Qt::LeftButton);
    QTest::keyClick(&log, Qt::Key_End);
    QVERIFY(strip->isVisible()); // "Wrapped", for a few seconds
    QTRY_VERIFY_WITH_TIMEOUT(!strip->isVisible(), 15000);
    QCOMPARE(log.viewport()->height(), fullHeight);
}

void tst_LogBox::newLinesBelowNotice()
{
    LogBox log;
    log.resize(335, 101);
    log.show();
    for (int i = 0; i < 100; ++i)
        log.appendLine(QString::number(i), {});
    log.insertPending();
    auto *below = log.findChild<QLabel *>("newLinesBelow");
    QVERIFY(!below->isVisible());
    log.verticalScrollBar()->setValue(10); // reading further up
    log.appendLine("new", {});
    log.appendLine("newer", {});
    log.insertPending();
    QVERIFY(below->isVisible());
    QCOMPARE(below->text(), QStringLiteral("2 new lines below"));
    QCOMPARE(log.verticalScrollBar()->value(), 10);
    showActive(log);
    QTest::keyClick(&log, Qt::Key_End);
    QVERIFY(!below->isVisible());
    QCOMPARE(log.verticalScrollBar()->value(), log.verticalScrollBar()->maximum());
    QVERIFY(log.textCursor().atEnd());
}

void tst_LogBox::clearEmptiesEverything()
{
    LogBox log;
    log.resize(335, 101);
    log.show();
    log.setDocumentLimit({ 2000, 1 << 20 });
    for (int i = 0; i < 100; ++i)
        log.appendLine(QStringLiteral("line %1 ").arg(i).leftJustified(50, u'.'),
                       arrivalFrom("192.0.2.1", 514, i, i == 90 ? 2 : 0));
    log.insertPending();
    log.appendLine("still waiting", {});
    QVERIFY(!log.model().archive().isEmpty());
    log.clearLog();
    QCOMPARE(log.text(), QString());
    QCOMPARE(log.model().arrivals().size(), 0);
    QVERIFY(log.model().archive().isEmpty());
    QCOMPARE(log.droppedTotal(), 0u);
    QVERIFY(!log.findChild<QLabel *>("droppedDatagrams")->isVisible());
    QTest::qWait(50); // nothing that waited comes back
    QCOMPARE(log.text(), QString());
    log.appendLine("after", arrivalFrom("192.0.2.9", 9, 1));
    log.insertPending();
    QCOMPARE(log.text(), QStringLiteral("after\r\n"));
    QCOMPARE(log.model().lines().of(log.document()->firstBlock()), std::optional<qint64>(0));
}

// The lines shown, by their text.
QStringList shownLines(const LogBox &log)
{
    QStringList lines;
    for (QTextBlock block = log.document()->firstBlock(); block.next().isValid();
         block = block.next()) {
        if (block.isVisible())
            lines << block.text();
    }
    return lines;
}

// How long a test waits for a save of a few thousand lines: far more than it takes, so that only a
// save that hangs fails, even on a loaded machine or under a sanitizer.
constexpr int SaveWithinMs = 60000;

// A notice's whole text: cut short in the strip, it is the first line of its tooltip.
QString wholeNotice(const QLabel *notice)
{
    return notice->text().endsWith(QChar(0x2026)) ? notice->toolTip().section(u'\n', 0, 0)
                                                  : notice->text();
}

QAction *actionNamed(const LogBox &log, const QString &text)
{
    const QList<QAction *> actions = log.actions();
    const auto named = std::find_if(actions.begin(), actions.end(), [&](const QAction *action) {
        return action->text().remove(u'&') == text;
    });
    return named == actions.end() ? nullptr : *named;
}

void tst_LogBox::rulesHideButNeverChangeTheLog()
{
    LogBox log;
    log.resize(335, 101);
    showActive(log);
    log.appendLine("<11>an error", arrivalFrom("192.0.2.1", 514, 1));
    log.appendLine("<14>some news", arrivalFrom("192.0.2.2", 514, 2));
    log.appendLine("<12>a warning\r\nin two lines", arrivalFrom("192.0.2.1", 514, 3));
    log.insertPending();
    log.moveCursor(QTextCursor::End);
    QTest::keyClicks(&log, "typed");
    QTest::keyClick(&log, Qt::Key_Return);
    const QString whole = log.text();
    auto *showing = log.findChild<QLabel *>("showingLines");

    QTest::keyClick(&log, Qt::Key_4, Qt::ControlModifier); // warning or more urgent
    QTRY_COMPARE(shownLines(log), QStringList({ "<11>an error", "<12>a warning", "in two lines" }));
    QVERIFY(showing->isVisible());
    QCOMPARE(showing->text(), QStringLiteral("Showing 3 of 5 lines"));
    QTest::keyClick(&log, Qt::Key_3, Qt::ControlModifier);
    QTRY_COMPARE(shownLines(log), QStringList({ "<11>an error" }));
    QCOMPARE(log.text(), whole);
    QTemporaryDir dir;
    QCOMPARE(saveLogNow(log.model().snapshot(), dir.filePath("log")).outcome,
             SaveResult::Outcome::Written);
    QFile saved(dir.filePath("log"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), whole.toLatin1());

    // New lines are filtered as they come, and only those shown are counted below the view.
    QTest::keyClick(&log, Qt::Key_7, Qt::ControlModifier);
    QTRY_COMPARE(shownLines(log).size(), 5);
    QVERIFY(!showing->isVisible());
    QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(log.findChild<QLineEdit *>("filterField"), "!news");
    QTest::keyClick(log.findChild<QLineEdit *>("filterField"), Qt::Key_Escape);
    QTRY_COMPARE(shownLines(log).size(), 4);
    QVERIFY(!log.findChild<QLineEdit *>("filterField")->isVisible()); // closed, the rule kept
    for (int i = 0; i < 20; ++i)
        log.appendLine(QStringLiteral("<14>more news %1").arg(i), arrivalFrom("192.0.2.2", 514, 4));
    log.appendLine("<11>one more error", arrivalFrom("192.0.2.1", 514, 5));
    log.insertPending();
    QCOMPARE(shownLines(log).size(), 5);
    log.verticalScrollBar()->setValue(0);
    log.appendLine("<14>news again", arrivalFrom("192.0.2.2", 514, 6));
    log.appendLine("<11>and an error", arrivalFrom("192.0.2.1", 514, 7));
    log.insertPending();
    QCOMPARE(log.findChild<QLabel *>("newLinesBelow")->text(), QStringLiteral("1 new line below"));

    // Every rule off at once.
    QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE(shownLines(log).size(), 28);
    QVERIFY(!showing->isVisible());
}

void tst_LogBox::rulesCountRightAsLinesMoveOut_data()
{
    QTest::addColumn<int>("perInsertion"); // lines that arrive between two insertions
    QTest::newRow("a line at a time") << 1;
    QTest::newRow("more than the box holds at once") << 200;
}

// Lines the rules hid and that then moved out of the box are neither shown nor counted; lines
// that moved out in the very insertion that brought them were never filtered.
void tst_LogBox::rulesCountRightAsLinesMoveOut()
{
    QFETCH(int, perInsertion);
    LogBox log;
    log.resize(335, 101);
    showActive(log);
    log.setDocumentLimit({ 2000, 1 << 20 });
    QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(log.findChild<QLineEdit *>("filterField"), "!odd");
    for (int i = 0; i < 400; ++i) {
        const QString line = QStringLiteral("line %1 %2 ").arg(i).arg(i % 2 == 0 ? "even" : "odd");
        log.appendLine(line.leftJustified(40, u'.'), arrivalFrom("192.0.2.1", 514, i));
        if (i % perInsertion == perInsertion - 1)
            log.insertPending();
    }
    log.insertPending();
    QVERIFY(log.model().archive().lineCount() > 0);
    const QStringList shown = shownLines(log);
    const qint64 inBox = log.document()->blockCount() - 1; // the last line is the empty one
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.filter(QStringLiteral(" odd ")), QStringList());
    qint64 even = 0;
    for (QTextBlock line = log.document()->firstBlock(); line.next().isValid(); line = line.next())
        even += line.text().contains(QStringLiteral(" even ")) ? 1 : 0;
    QCOMPARE(shown.size(), even);
    QCOMPARE(log.findChild<QLabel *>("showingLines")->text(),
             QStringLiteral("Showing %1 of %2 lines").arg(shown.size()).arg(inBox));
}

void tst_LogBox::copyAndEditAroundHiddenLines()
{
    ThreeLines box;
    QTest::keyClick(&box.log, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(box.log.findChild<QLineEdit *>("filterField"), "!second");
    QTRY_COMPARE(shownLines(box.log), QStringList({ "first", "third" }));
    box.log.setFocus();

    // Copying a selection takes the lines shown in it, each with its line end.
    QTest::keyClick(&box.log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box.log, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("first\r\nthird\r\n"));

    // The caret goes from shown line to shown line.
    box.caretAt(0, 2);
    QTest::keyClick(&box.log, Qt::Key_Down);
    QCOMPARE(box.log.textCursor().block().text(), QStringLiteral("third"));
    QTest::keyClick(&box.log, Qt::Key_Up);
    QCOMPARE(box.log.textCursor().block().text(), QStringLiteral("first"));

    // No edit joins a hidden line to a shown one, or removes it.
    box.caretAt(2, 0);
    QTest::keyClick(&box.log, Qt::Key_Backspace);
    box.caretAt(0, 5);
    QTest::keyClick(&box.log, Qt::Key_Delete);
    QCOMPARE(box.log.text(), QStringLiteral("first\r\nsecond\r\nthird\r\n"));
    // In the middle of the line after the hidden one, Backspace takes one character as anywhere.
    box.caretAt(2, 3);
    QTest::keyClick(&box.log, Qt::Key_Backspace);
    QCOMPARE(box.log.text(), QStringLiteral("first\r\nsecond\r\nthrd\r\n"));
    QTest::keyClick(&box.log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&box.log, "x");
    QCOMPARE(box.log.text(), QStringLiteral("x\r\nsecond\r\n\r\n"));
    QVERIFY(!box.log.document()->findBlockByNumber(1).isVisible());
}

void tst_LogBox::senderRulesFromTheContextMenu()
{
    ThreeLines box;
    box.log.appendLine("fourth", arrivalFrom("192.0.2.1", 40000, 4));
    box.log.insertPending();
    const auto chooseFromMenu = [&](const QString &entry) {
        QTimer::singleShot(50, [entry] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            const QList<QAction *> actions = menu->actions();
            const auto chosen = std::find_if(actions.begin(), actions.end(),
                                             [&](const QAction *a) { return a->text() == entry; });
            menu->close();
            QVERIFY2(chosen != actions.end(), qPrintable("no menu entry " + entry));
            (*chosen)->trigger();
        });
        const QRect line = box.log.visibleLines().first().block.isValid()
            ? QRect(10, box.log.visibleLines().first().top + 2, 1, 1)
            : QRect();
        QContextMenuEvent click(QContextMenuEvent::Mouse, line.topLeft(),
                                box.log.viewport()->mapToGlobal(line.topLeft()));
        QApplication::sendEvent(box.log.viewport(), &click);
    };
    box.log.verticalScrollBar()->setValue(0); // "first", from 192.0.2.1:514, at the top
    chooseFromMenu("Hide Lines from 192.0.2.1:514");
    QTRY_COMPARE(shownLines(box.log), QStringList({ "second", "third", "fourth" }));
    box.log.verticalScrollBar()->setValue(0);
    chooseFromMenu("Show Only Lines from 192.0.2.2");
    QTRY_COMPARE(shownLines(box.log), QStringList({ "second" }));
}

void tst_LogBox::jumpsToProblemsAndMarks()
{
    LogBox log;
    log.resize(335, 101);
    showActive(log);
    // Lines: 0 info, 1 warning, 2 info, 3 error, 4 after a gap, 5 no priority (192 would be an
    // emergency of facility 24, which there is not), 6 info
    const QStringList payloads = { "<14>a",   "<12>warning", "<14>b", "<11>error",
                                   "<14>gap", "<192>c",      "<14>d" };
    for (int i = 0; i < payloads.size(); ++i)
        log.appendLine(payloads.at(i), arrivalFrom("192.0.2.1", 514, i, i == 4 ? 2 : 0));
    log.insertPending();
    const auto caretLine = [&] { return log.textCursor().blockNumber(); };
    auto *notice = log.findChild<QLabel *>("jumpNotice");
    log.moveCursor(QTextCursor::Start);
    QList<int> lines;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(&log, Qt::Key_F8);
        lines << caretLine();
    }
    QCOMPARE(lines, QList<int>({ 1, 3, 4, 1 }));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("Wrapped"));
    QTest::keyClick(&log, Qt::Key_F8, Qt::ShiftModifier);
    QCOMPARE(caretLine(), 4);

    // A gap among hidden lines is a problem on the next line shown.
    QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(log.findChild<QLineEdit *>("filterField"), "!gap");
    QTRY_COMPARE(shownLines(log).size(), 6);
    log.setFocus();
    log.setTextCursor(QTextCursor(log.document()->findBlockByNumber(3)));
    QTest::keyClick(&log, Qt::Key_F8);
    QCOMPARE(caretLine(), 5);

    // Marks.
    for (const int line : { 2, 6 }) {
        log.setTextCursor(QTextCursor(log.document()->findBlockByNumber(line)));
        QTest::keyClick(&log, Qt::Key_F2, Qt::ControlModifier);
    }
    log.moveCursor(QTextCursor::Start);
    lines.clear();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&log, Qt::Key_F2);
        lines << caretLine();
    }
    QCOMPARE(lines, QList<int>({ 2, 6, 2 }));
    QTest::keyClick(&log, Qt::Key_F2, Qt::ControlModifier); // unmarked
    QTest::keyClick(&log, Qt::Key_F2);
    QCOMPARE(caretLine(), 6);
    QCOMPARE(log.text().count("\r\n"), payloads.size()); // marks change no text
}

void tst_LogBox::menuSaysWhatIsOn()
{
    ThreeLines box;
    // The entries of the context menu that show a state: the show-only entry's text, the checked
    // severities, whether Colour by Sender is checked.
    const auto menuNow = [&] {
        QStringList seen;
        QTimer::singleShot(50, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (const QAction *action : menu->actions()) {
                const QString text = action->text().remove(u'&');
                if (text.startsWith("Show Only") && !text.contains("Lines from"))
                    seen << text;
                if (action->menu() && text == "Show Severity") {
                    for (const QAction *severity : action->menu()->actions())
                        if (severity->isChecked())
                            seen << "checked: " + severity->text();
                }
                if (text == "Colour by Sender")
                    seen << (action->isChecked() ? "coloured" : "not coloured");
            }
            menu->close();
        });
        QContextMenuEvent click(QContextMenuEvent::Keyboard, QPoint(10, 10),
                                box.log.viewport()->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(box.log.viewport(), &click);
        return seen;
    };
    QCOMPARE(menuNow(), QStringList({ "Show Only...", "checked: All", "not coloured" }));

    QTest::keyClick(&box.log, Qt::Key_3, Qt::ControlModifier);
    QTest::keyClick(&box.log, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto *field = box.log.findChild<QLineEdit *>("filterField");
    QVERIFY(field);
    QTest::keyClicks(field, "!a rule longer than forty characters, cut in its middle");
    QTest::keyClick(field, Qt::Key_Escape);
    actionNamed(box.log, "Colour by Sender")->trigger();
    QCOMPARE(menuNow(),
             QStringList({ "Show Only \u201c!a rule longer than \u2026, cut in its middle\u201d...",
                           "checked: Error or more urgent", "coloured" }));

    QTest::keyClick(&box.log, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(menuNow(), QStringList({ "Show Only...", "checked: All", "coloured" }));
}

void tst_LogBox::highlightsColourEveryOccurrence()
{
    ThreeLines box;
    box.select(0, 1, 0, 3); // "ir"
    QTest::keyClick(&box.log, Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(box.log.extraSelections().size(), 2); // fIRst, thIRd
    box.select(2, 4, 2, 5); // "d"
    QTest::keyClick(&box.log, Qt::Key_H, Qt::ControlModifier);
    const QList<QTextEdit::ExtraSelection> highlights = box.log.extraSelections();
    QCOMPARE(highlights.size(), 4); // and seconD, thirD
    QVERIFY(highlights.first().format.background() != highlights.last().format.background());
    actionNamed(box.log, "Remove Highlights")->trigger();
    QVERIFY(box.log.extraSelections().isEmpty());
}

void tst_LogBox::highlightsKeepClearOfTheSelection_data()
{
    // Five highlights: as many colours as the palette has clear of the selection, up to five.
    QTest::addColumn<QColor>("selection");
    QTest::addColumn<int>("colours");
    QTest::newRow("Fusion's blue") << QColor(0x30, 0x8c, 0xc6) << 5;
    QTest::newRow("Breeze's blue") << QColor(0x3d, 0xae, 0xe9) << 5;
    QTest::newRow("amber, near amber and orange") << QColor(0xff, 0xb3, 0x00) << 4;
    QTest::newRow("crimson, near pink and orange") << QColor(0xe0, 0x10, 0x30) << 4;
    QTest::newRow("grey: any colour") << QColor(0x80, 0x80, 0x80) << 5;
}

void tst_LogBox::highlightsKeepClearOfTheSelection()
{
    QFETCH(QColor, selection);
    QFETCH(int, colours);
    ThreeLines box;
    QPalette palette = box.log.palette();
    palette.setColor(QPalette::Highlight, selection);
    box.log.setPalette(palette);
    for (int column = 0; column < 5; ++column) { // each letter of "first" is a highlight
        box.select(0, column, 0, column + 1);
        QTest::keyClick(&box.log, Qt::Key_H, Qt::ControlModifier);
    }
    QSet<QRgb> used;
    for (const QTextEdit::ExtraSelection &highlight : box.log.extraSelections()) {
        const QColor colour = highlight.format.background().color();
        used << colour.rgb();
        const int apart = std::abs(colour.hsvHue() - selection.hsvHue());
        if (selection.hsvSaturation() > 100)
            QVERIFY2(std::min(apart, 360 - apart) >= 30, qPrintable(colour.name()));
    }
    QCOMPARE(used.size(), colours);
}

void tst_LogBox::controlBytesAreDrawnVisibly()
{
    // Every byte the font draws as nothing or as the missing glyph, and a lone carriage return:
    // each gets room between "a" and "b", and what is drawn there differs from byte to byte.
    QList<char> bytes;
    for (int byte = 0; byte <= 0x9f; ++byte) {
        if (byte < ' ' || byte >= 0x7f)
            bytes << char(byte);
    }
    bytes.removeAll('\t'); // a tab, as a tab
    bytes.removeAll('\n'); // a line break, as a line break
    LogBox log;
    showActive(log);
    for (const char byte : bytes)
        log.appendLine(QString::fromLatin1(QByteArray("a") + byte + "b"),
                       arrivalFrom("192.0.2.1", 9, 1));
    log.insertPending();
    log.resize(400, log.fontMetrics().lineSpacing() * int(bytes.size() + 4));
    log.verticalScrollBar()->setValue(0);
    const QImage shown = log.viewport()->grab().toImage();
    const QList<LogLines::VisibleLine> lines = log.visibleLines();
    QCOMPARE(lines.size(), bytes.size() + 1); // and the empty last line
    QSet<QByteArray> drawings;
    const int least = log.fontMetrics().horizontalAdvance(u'0');
    for (int i = 0; i < bytes.size(); ++i) {
        const QTextLine line = lines.at(i).block.layout()->lineAt(0);
        // Between the "a" and the "b": some bytes have their room before them.
        const qreal a = log.fontMetrics().horizontalAdvance(u'a');
        const int left = int(a + log.document()->documentMargin());
        const int width = int(line.cursorToX(2) - a);
        const QString byte = QString::number(uchar(bytes.at(i)), 16);
        QVERIFY2(width >= least, qPrintable(byte + " has no room"));
        const QImage room = shown.copy(left, lines.at(i).top, width, lines.at(i).height);
        QByteArray pixels;
        for (int y = 0; y < room.height(); ++y)
            pixels += QByteArray(reinterpret_cast<const char *>(room.constScanLine(y)),
                                 room.bytesPerLine());
        QVERIFY2(!drawings.contains(pixels), qPrintable(byte + " is drawn as another byte is"));
        drawings << pixels;
    }
    QCOMPARE(log.text().toLatin1(), [&] {
        QByteArray text;
        for (const char byte : bytes)
            text += QByteArray("a") + byte + "b\r\n";
        return text;
    }()); // and the text is the bytes

    // The hex dump's column of characters: every byte a glyph of the dump's font.
    QByteArray every;
    for (int byte = 0; byte <= 0xff; ++byte)
        every += char(byte);
    const QFontMetrics dumpGlyphs(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    for (const QChar c : hexDump(every))
        QVERIFY2(c == u'\n' || dumpGlyphs.inFont(c), qPrintable(QString::number(c.unicode(), 16)));
}

void tst_LogBox::detailsFollowTheCaret()
{
    LogBox log;
    log.resize(335, 101);
    showActive(log);
    log.appendLine("<165>1 2003-10-11T22:14:15.003Z mymachine evntslog - ID47 "
                   "[exampleSDID@32473 iut=\"3\" eventSource=\"Application\"] An \x1b[1mevent",
                   arrivalFrom("192.0.2.1", 514, 1));
    log.appendLine(QString::fromLatin1("bytes\x01\xff", 7), arrivalFrom("2001:db8::2", 9, 2, 4));
    log.insertPending();
    log.moveCursor(QTextCursor::Start);
    QTest::keyClick(&log, Qt::Key_I, Qt::ControlModifier);
    auto *details = log.findChild<QWidget *>("datagramDetails");
    QVERIFY(details && details->isVisible());
    const auto fields = [&] { return details->findChild<QLabel *>("datagramFields")->text(); };
    const auto dump = [&] {
        return details->findChild<QPlainTextEdit *>("hexDump")->toPlainText();
    };
    auto *table = details->findChild<QTableWidget *>("structuredData");
    QVERIFY2(fields().contains("mymachine") && fields().contains("ID47"), qPrintable(fields()));
    // A control byte in the message as an escape, as no font draws it.
    QVERIFY2(fields().contains("An \\e[1mevent"), qPrintable(fields()));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("eventSource"));
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("Application"));
    QVERIFY(dump().startsWith("00000000  3c 31 36 35 3e 31 20 32"));

    // The caret moves to the next line: the window shows its datagram.
    log.setFocus();
    QTest::keyClick(&log, Qt::Key_Down);
    QVERIFY2(fields().contains("[2001:db8::2]:9") && fields().contains("4 datagrams dropped"),
             qPrintable(fields()));
    QVERIFY(!table->isVisible());
    // Nine bytes missing from the row, and the gap in its middle.
    QCOMPARE(dump(),
             "00000000  62 79 74 65 73 01 ff" + QString(9 * 3 + 1 + 2, u' ') + "bytes" + "."
                 + QChar(0xFF) + "\n");
    // The empty last line, and then a typed one, came in no datagram.
    log.moveCursor(QTextCursor::End);
    QVERIFY2(fields().contains("empty"), qPrintable(fields()));
    QCOMPARE(dump(), QString());
    QTest::keyClicks(&log, "typed");
    QVERIFY2(fields().contains("typed"), qPrintable(fields()));
    QCOMPARE(dump(), QString());
}

void tst_LogBox::detailsPlacedBeside_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("expected");
    // A screen of 1920 x 1040 free, a details window of 600 x 540.
    QTest::newRow("room on the right") << QRect(100, 100, 400, 300) << QRect(508, 100, 600, 540);
    QTest::newRow("room only on the left")
        << QRect(1400, 100, 400, 300) << QRect(792, 100, 600, 540);
    QTest::newRow("near the bottom: raised to stay on the screen")
        << QRect(100, 900, 400, 100) << QRect(508, 500, 600, 540);
    QTest::newRow("no room on either side: below")
        << QRect(500, 10, 1000, 300) << QRect(500, 318, 600, 540);
    QTest::newRow("no room anywhere: the far corner from it")
        << QRect(300, 300, 1300, 600) << QRect(1320, 0, 600, 540);
}

void tst_LogBox::detailsPlacedBeside()
{
    QFETCH(QRect, window);
    QFETCH(QRect, expected);
    const QRect screen(0, 0, 1920, 1040);
    const QRect placed = DatagramDetails::placeBeside(window, QSize(600, 540), screen);
    QCOMPARE(placed, expected);
    QVERIFY(screen.contains(placed));
}

void tst_LogBox::detailsShowEveryRowAndCloseByKeys()
{
    LogBox log;
    showActive(log);
    QByteArray sd;
    for (int i = 0; i < 10; ++i)
        sd += "[p" + QByteArray::number(i) + "@1 a=\"" + QByteArray::number(i) + "\"]";
    log.appendLine(QString::fromLatin1("<165>1 2003-10-11T22:14:15.003Z h a - - " + sd + " m"),
                   arrivalFrom("192.0.2.1", 514, 1));
    log.insertPending();
    log.moveCursor(QTextCursor::Start);
    QTest::keyClick(&log, Qt::Key_I, Qt::ControlModifier);
    auto *details = log.findChild<QWidget *>("datagramDetails");
    QVERIFY(details && details->isVisible());
    details->resize(600, 900);
    auto *table = details->findChild<QTableWidget *>("structuredData");
    auto *dump = details->findChild<QPlainTextEdit *>("hexDump");
    QCOMPARE(table->rowCount(), 10);
    QTRY_COMPARE(table->verticalScrollBar()->maximum(), 0); // every row in view
    QVERIFY(dump->height() >= 4 * dump->fontMetrics().lineSpacing());

    // Escape closes it, and so does Ctrl+W; Ctrl+I in the box opens it again.
    activate(*details);
    QTest::keyClick(details->focusWidget(), Qt::Key_Escape);
    QVERIFY(!details->isVisible());
    showActive(log);
    QTest::keyClick(&log, Qt::Key_I, Qt::ControlModifier);
    activate(*details);
    QTest::keyClick(details->focusWidget(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(!details->isVisible());
}

void tst_LogBox::detailsHaveOnlyTheRowsTheyKnow_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("rows"); // the rows' names

    const QString always = QStringLiteral("Received|From|Size|Dropped before|Syslog");
    QTest::newRow("plain text") << QByteArray("hello") << always;
    QTest::newRow("a lone priority") << QByteArray("<14>") << always + "|Facility|Severity|Message";
    QTest::newRow("RFC 3164 without a process")
        << QByteArray("<14>Dec  8 10:00:00 h a: m")
        << always + "|Facility|Severity|Time stamp|Host|Program|Message";
    QTest::newRow("RFC 5424, every field")
        << QByteArray("<14>1 2026-12-08T10:00:00Z h a 42 ID7 - m")
        << always + "|Facility|Severity|Version|Time stamp|Host|Program|Process|Message id|Message";
    QTest::newRow("RFC 5424 that reads in part")
        << QByteArray("<14>1 2026-02-30T10:00:00Z h a - - - m")
        << always + "|Facility|Severity|Not read|Version|Time stamp|Host|Program|Message";
}

void tst_LogBox::detailsHaveOnlyTheRowsTheyKnow()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, rows);
    ArrivalRecord record;
    record.append(QString::fromLatin1(payload), arrivalFrom("192.0.2.1", 514, 1));
    DatagramDetails details(nullptr, DatagramDetails::Placement::Pane);
    details.showDatagram(*record.at(0), payload);
    const QString table = details.findChild<QLabel *>("datagramFields")->text();
    QStringList names;
    static const QRegularExpression name(QStringLiteral("<tr><td[^>]*>([^<]*)</td>"));
    for (const QRegularExpressionMatch &match : name.globalMatch(table))
        names << match.captured(1);
    QCOMPARE(names.join(u'|'), rows);
}

void tst_LogBox::saveAsksBeforeUtf8()
{
    LogBox log;
    log.appendLine(QString::fromLatin1("caf\xE9"), {});
    log.insertPending();
    log.moveCursor(QTextCursor::End);
    // The euro sign: no Latin-1 byte holds it.
    QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)));
    QApplication::sendEvent(&log, &euro);
    LogSaver saver(&log, log.model());
    QTemporaryDir dir;

    QString question;
    answerNextMessage("Cancel", &question);
    QVERIFY(!saver.saveLogTo(dir.filePath("cancelled.log")));
    QVERIFY2(question.contains("\"\u20AC\" (U+20AC)"), qPrintable(question));
    QVERIFY(!QFile::exists(dir.filePath("cancelled.log")));

    answerNextMessage("Save as UTF-8", &question);
    QVERIFY(saver.saveLogTo(dir.filePath("utf8.log")));
    QTRY_VERIFY_WITH_TIMEOUT(!saver.isSaving(), SaveWithinMs);
    QFile saved(dir.filePath("utf8.log"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("caf\xC3\xA9\r\n\xE2\x82\xAC"));
}

void tst_LogBox::arrivalsFileTypeByName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("chosen"); // the file type chosen in the dialog
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("jsonLines");
    const int csv = int(LogSaver::FileType::Csv);
    const int json = int(LogSaver::FileType::JsonLines);
    const int any = int(LogSaver::FileType::Any);
    QTest::newRow("no ending, CSV chosen") << "/t/a" << csv << "/t/a.csv" << false;
    QTest::newRow("no ending, JSON Lines chosen") << "/t/a" << json << "/t/a.jsonl" << true;
    QTest::newRow("no ending, all files") << "/t/a" << any << "/t/a" << false;
    QTest::newRow("a dot in the folder only") << "/t.d/a" << json << "/t.d/a.jsonl" << true;
    QTest::newRow(".ndjson, whatever was chosen") << "/t/a.ndjson" << csv << "/t/a.ndjson" << true;
    QTest::newRow("capitals") << "/t/A.JSONL" << any << "/t/A.JSONL" << true;
    QTest::newRow("another ending: CSV") << "/t/a.txt" << json << "/t/a.txt" << false;
}

void tst_LogBox::arrivalsFileTypeByName()
{
    QFETCH(QString, typed);
    QFETCH(int, chosen);
    QFETCH(QString, path);
    QFETCH(bool, jsonLines);
    const QString named = LogSaver::withEnding(typed, LogSaver::FileType(chosen));
    QCOMPARE(named, path);
    QCOMPARE(LogSaver::isJsonLines(named), jsonLines);
}

void tst_LogBox::saveFailuresAreReported()
{
    LogBox log;
    log.appendLine("a line", arrivalFrom("192.0.2.1", 514, 1));
    log.insertPending();
    LogSaver saver(&log, log.model());
    for (const bool arrivals : { false, true }) {
        QString message;
        answerNextMessage("OK", &message);
        const QString path = QStringLiteral("/proc/harkline.log");
        QVERIFY(arrivals ? saver.saveArrivalsTo(path) : saver.saveLogTo(path));
        QTRY_VERIFY_WITH_TIMEOUT(!saver.isSaving(), SaveWithinMs);
        QTRY_VERIFY2(message.startsWith("Cannot save \"/proc/harkline.log\": "),
                     qPrintable(message));
    }
}

void tst_LogBox::savesRunInTheBackgroundOneAtATime()
{
    LogBox log;
    log.resize(335, 101);
    for (int i = 0; i < 3000; ++i)
        log.appendLine(syslogLine(quint32(i)), arrivalFrom("192.0.2.1", 514, i));
    showActive(log);
    auto *saver = log.findChild<LogSaver *>();
    auto *said = log.findChild<QLabel *>("jumpNotice");
    auto *saving = log.findChild<QLabel *>("saving");
    QTemporaryDir dir;

    // A second save while one runs is refused, and says so; the first goes on.
    QVERIFY(saver->saveArrivalsTo(dir.filePath("first.csv")));
    QVERIFY(saving->isVisible());
    QVERIFY2(saving->text().startsWith("Saving arrivals"), qPrintable(saving->text()));
    QVERIFY(!saver->saveArrivalsTo(dir.filePath("second.csv")));
    QCOMPARE(wholeNotice(said), "Still saving: wait for it, or press Escape to cancel it");
    QTRY_VERIFY_WITH_TIMEOUT(!saver->isSaving(), SaveWithinMs);
    QVERIFY(!saving->isVisible());
    QTRY_COMPARE(wholeNotice(said), "Saved 3,000 arrivals to first.csv");
    QVERIFY(!QFile::exists(dir.filePath("second.csv")));

    // Then the next save: what had arrived when it started.
    QVERIFY(saver->saveLogTo(dir.filePath("log.txt")));
    log.appendLine("after the save started", {});
    QTRY_COMPARE(wholeNotice(said), "Saved 3,000 lines to log.txt");
    QFile csv(dir.filePath("first.csv"));
    QFile text(dir.filePath("log.txt"));
    QVERIFY(csv.open(QIODevice::ReadOnly) && text.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count("\r\n"), 3001);
    QCOMPARE(text.readAll().count("\r\n"), 3000);
}

void tst_LogBox::escapeCancelsASave()
{
    LogBox log;
    log.resize(335, 101);
    for (int i = 0; i < 300000; ++i)
        log.appendLine(syslogLine(quint32(i)), arrivalFrom("192.0.2.1", 514, i));
    showActive(log);
    auto *saver = log.findChild<LogSaver *>();
    auto *said = log.findChild<QLabel *>("jumpNotice");
    QTemporaryDir dir;
    for (const bool byClick : { false, true }) {
        QVERIFY(saver->saveArrivalsTo(dir.filePath("arrivals.jsonl")));
        if (byClick)
            QTest::mouseClick(log.findChild<QLabel *>("saving"), Qt::LeftButton);
        else
            QTest::keyClick(&log, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!saver->isSaving(), SaveWithinMs);
        QTRY_COMPARE(wholeNotice(said), "Cancelled: nothing saved to arrivals.jsonl");
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), {});
    }
}

QTEST_MAIN(tst_LogBox)
#include "tst_logbox.moc"
