// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The log box as an instrument: exact copy and paste, what the user types, the arrivals saved as
// CSV and read back by a real CSV reader, a log longer than the box may hold, and find.

#include "LogBox.h"
#include "LogSearch.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <arpa/inet.h>

namespace {

QString allLatin1()
{
    QString text;
    for (int c = 0; c < 256; ++c)
        text += QChar(c);
    return text;
}

Arrival arrivalFrom(const char *address, quint16 port, qint64 timeNs, quint32 droppedBefore = 0)
{
    Arrival arrival;
    arrival.timeNs = timeNs;
    arrival.port = port;
    arrival.droppedBefore = droppedBefore;
    arrival.ipv4 = inet_pton(AF_INET, address, arrival.address.data()) == 1;
    if (!arrival.ipv4)
        inet_pton(AF_INET6, address, arrival.address.data());
    return arrival;
}

} // namespace

class tst_LogBox : public QObject
{
    Q_OBJECT

private slots:
    void copyAndPasteAreExact_data();
    void copyAndPasteAreExact();
    void typedSignCharactersReadBackExactly();
    void typedLinesShowNoArrival();
    void arrivalsReadBackByACsvReader();
    void arrivalsAreKeptCompact();
    void logLongerThanTheBoxIsKeptWhole();
    void findWrapsAndIgnoresCaseUnlessCapitals_data();
    void findWrapsAndIgnoresCaseUnlessCapitals();
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

void tst_LogBox::typedSignCharactersReadBackExactly()
{
    LogBox log;
    log.show();
    log.appendLine("datagram", {});
    log.setFocus();
    // Typed one character at a time, as a keyboard or an input method gives them.
    for (const QChar c : QString("x") + QChar(0x240D) + QChar(0x2028) + QChar(0x2029) + "y") {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&log, &press);
    }
    QTest::keyClick(&log, Qt::Key_Return);
    QTest::keyClicks(&log, "z");
    QCOMPARE(log.text(),
             QString("datagram\r\nx") + QChar(0x240D) + QChar(0x2028) + QChar(0x2029) + "y\r\nz");
}

void tst_LogBox::typedLinesShowNoArrival()
{
    LogBox log;
    log.show();
    log.appendLine("first", arrivalFrom("192.0.2.1", 514, 1));
    log.appendLine("second", arrivalFrom("192.0.2.2", 514, 2));
    QTRY_COMPARE(log.document()->blockCount(), 3);

    // A new line typed before the second datagram's text, and one after all.
    log.setFocus();
    QTextCursor cursor(log.document()->findBlockByNumber(1));
    log.setTextCursor(cursor);
    QTest::keyClicks(&log, "note");
    QTest::keyClick(&log, Qt::Key_Return);
    log.moveCursor(QTextCursor::End);
    QTest::keyClicks(&log, "typed");
    QCOMPARE(log.text(), QStringLiteral("first\r\nnote\r\nsecond\r\ntyped"));

    const auto arrivalOfLine = [&](int line) {
        return log.arrivalOf(log.document()->findBlockByNumber(line));
    };
    QCOMPARE(arrivalOfLine(0), std::optional<qint64>(0));
    QCOMPARE(arrivalOfLine(1), std::nullopt);
    QCOMPARE(arrivalOfLine(2), std::optional<qint64>(1));
    QCOMPARE(arrivalOfLine(3), std::nullopt);
}

void tst_LogBox::arrivalsReadBackByACsvReader()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("needs python3, whose csv module is the reader");

    // Two senders, payloads that need quoting, every byte, and enough datagrams for the record to
    // compress several chunks; the system dropped 7 before one of them.
    QList<std::pair<QByteArray, Arrival>> sent;
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    const QList<QByteArray> special = { "a,b",     "say \"hi\"", "cr\rlf\ncrlf\r\n",
                                        "",        everyByte,    QByteArray("nul\0nul", 7),
                                        "\xA0\xFF" };
    for (int i = 0; i < 3000; ++i) {
        const bool second = i % 3 == 0;
        const QByteArray payload = i < special.size()
            ? special.at(i)
            : "<13>line " + QByteArray::number(i) + " from " + (second ? "v6" : "v4");
        sent.append({ payload,
                      second ? arrivalFrom("2001:db8::1", 40000, qint64(i) * 1'000'000'123)
                             : arrivalFrom("192.0.2.7", 514, qint64(i) * 1'000'000'123,
                                           i == 1501 ? 7 : 0) });
    }
    LogBox log;
    for (const auto &[payload, arrival] : std::as_const(sent))
        log.appendLine(QString::fromLatin1(payload), arrival);
    log.setText("the user cleared the text: the arrivals stay");

    QTemporaryDir dir;
    const QString csv = dir.filePath("arrivals.csv");
    QString error;
    QVERIFY2(log.writeArrivals(csv, &error), qPrintable(error));

    // Each row back as: time, sender, bytes, dropped, and the payload as Latin-1 in hex.
    QProcess reader;
    reader.start(
        python,
        { "-c",
          "import csv, sys\n"
          "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
          "    rows = list(csv.reader(f))\n"
          "assert rows[0] == ['time', 'sender', 'bytes', 'dropped_before', 'payload'], rows[0]\n"
          "for r in rows[1:]:\n"
          "    print(r[0], r[1], r[2], r[3], r[4].encode('latin-1').hex())\n",
          csv });
    QVERIFY(reader.waitForFinished(30000));
    QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
    const QList<QByteArray> rows = reader.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(rows.size(), sent.size());
    const QRegularExpression isoTime(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QList<QByteArray> fields = rows.at(i).split(' ');
        const auto &[payload, arrival] = sent.at(i);
        QVERIFY2(isoTime.match(QString::fromLatin1(fields.value(0))).hasMatch(), fields.value(0));
        QCOMPARE(QString::fromLatin1(fields.value(1)), arrival.senderText());
        QCOMPARE(fields.value(2).toInt(), payload.size());
        QCOMPARE(fields.value(3).toUInt(), arrival.droppedBefore);
        QCOMPARE(QByteArray::fromHex(fields.value(4)), payload);
    }
    QCOMPARE(rows.at(0).split(' ').value(1), QByteArray("[2001:db8::1]:40000"));
    QCOMPARE(rows.at(1).split(' ').value(1), QByteArray("192.0.2.7:514"));
    QCOMPARE(rows.at(1501).split(' ').value(3), QByteArray("7"));
}

void tst_LogBox::arrivalsAreKeptCompact()
{
    // Syslog lines from one sender: the record holds them in far less than their own size, and
    // gives back each one exactly.
    ArrivalRecord record;
    constexpr int Count = 20000;
    const auto payload = [](int i) {
        return QStringLiteral("<30>Dec  7 16:27:25 host app[4242]: request %1 served").arg(i);
    };
    for (int i = 0; i < Count; ++i)
        record.append(payload(i), arrivalFrom("192.0.2.7", 514, qint64(i) * 1'000'000));
    QCOMPARE_LT(record.heldBytes(), qint64(Count) * 20);
    for (const int i : { 0, 1023, 1024, 12345, Count - 1 }) {
        QCOMPARE(record.payload(i), payload(i).toLatin1());
        QCOMPARE(record.at(i).arrival.timeNs, qint64(i) * 1'000'000);
    }
}

void tst_LogBox::logLongerThanTheBoxIsKeptWhole()
{
    // A document kept within 20,000 characters here, as within 2^30 in the program.
    LogBox log;
    log.setDocumentLimit(20000);
    QString expected;
    for (int i = 0; i < 2000; ++i) {
        const QString line = QStringLiteral("line %1 ").arg(i).leftJustified(50, u'.');
        log.appendLine(line, arrivalFrom("192.0.2.1", quint16(i), i));
        expected += line + "\r\n";
        if (i % 100 == 99)
            QTest::qWait(20); // as arrivals come: insertions a frame apart
    }
    QTRY_VERIFY(log.document()->blockCount() > 1 && !log.archive().isEmpty());
    QCOMPARE_LE(log.document()->characterCount(), 20000);
    QCOMPARE(log.archive().lineCount() + log.document()->blockCount() - 1, 2000);
    QCOMPARE(log.text(), expected);

    // The lines still in the box show their own arrivals.
    const QTextBlock last = log.document()->lastBlock().previous();
    QCOMPARE(log.arrivalOf(last), std::optional<qint64>(1999));
    QCOMPARE(log.arrivals().at(1999).arrival.port, 1999);

    QTemporaryDir dir;
    QString error;
    QVERIFY2(log.writeLog(dir.filePath("log"), false, &error), qPrintable(error));
    QFile saved(dir.filePath("log"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), expected.toLatin1());
}

void tst_LogBox::findWrapsAndIgnoresCaseUnlessCapitals_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<int>("found"); // -1: not found
    QTest::addColumn<bool>("wrapped");

    // Lines: "Error one" (0), "an ERROR two" (10), "error three" (23), "" (35)
    QTest::newRow("lower case matches any case") << "error" << 1 << false << 13 << false;
    QTest::newRow("from a match's start finds it") << "error" << 13 << false << 13 << false;
    QTest::newRow("capital: exactly that case") << "Error" << 1 << false << 0 << true;
    QTest::newRow("wraps round the end") << "one" << 20 << false << 6 << true;
    QTest::newRow("backward: one ending before") << "error" << 23 << true << 13 << false;
    QTest::newRow("backward wraps round the start") << "three" << 5 << true << 29 << true;
    QTest::newRow("not there") << "warning" << 0 << false << -1 << false;
}

void tst_LogBox::findWrapsAndIgnoresCaseUnlessCapitals()
{
    QFETCH(QString, needle);
    QFETCH(int, from);
    QFETCH(bool, backward);
    QFETCH(int, found);
    QFETCH(bool, wrapped);
    QTextDocument document(QStringLiteral("Error one\nan ERROR two\nerror three\n"));
    LogSearch search(&document);
    QSignalSpy matches(&search, &LogSearch::found);
    QSignalSpy misses(&search, &LogSearch::notFound);
    search.find(needle, from, backward);
    QTRY_COMPARE(matches.size() + misses.size(), 1);
    if (found < 0) {
        QCOMPARE(misses.size(), 1);
        return;
    }
    QCOMPARE(matches.size(), 1);
    QCOMPARE(matches.at(0).at(0).toInt(), found);
    QCOMPARE(matches.at(0).at(1).toInt(), needle.size());
    QCOMPARE(matches.at(0).at(2).toBool(), wrapped);
}

QTEST_MAIN(tst_LogBox)
#include "tst_logbox.moc"
