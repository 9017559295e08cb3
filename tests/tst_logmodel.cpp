// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The log's model without a window: the archive and the arrivals give back exactly what went in
// and stay compact, lines keep their datagrams past 2^31 of them, the first line of a datagram is
// found, the document stays within its limit, and writes that fail say so.

#include "LineArrivals.h"
#include "LogModel.h"
#include "ViewRules.h"

#include "LogSamples.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <csignal>

#include <sys/resource.h>

namespace {

QString allLatin1()
{
    QString text;
    for (int c = 0; c < 256; ++c)
        text += QChar(c);
    return text;
}

QString archived(const LogArchive &archive)
{
    QString text;
    archive.forEachPart([&text](QStringView part) {
        text += part;
        return true;
    });
    return text;
}

QString wholeText(const LogModel &model)
{
    QString text;
    model.forEachPart([&text](QStringView part) {
        text += part;
        return true;
    });
    return text;
}

// A model's received lines, as the feed hands them over: each line tied to its datagram.
void appendDatagrams(LogModel &model, const QStringList &payloads)
{
    QString text;
    std::vector<qint64> lineArrivals;
    for (const QString &payload : payloads) {
        const qint64 index = model.arrivals().append(payload, {});
        text += payload + "\r\n";
        lineArrivals.insert(lineArrivals.end(), std::size_t(payload.count("\r\n") + 1), index);
    }
    model.appendLines(text, lineArrivals);
}

} // namespace

class tst_LogModel : public QObject
{
    Q_OBJECT

private slots:
    void archiveGivesBackExactly_data();
    void archiveGivesBackExactly();
    void archiveIsCompact();
    void arrivalsReadBackByACsvReader();
    void arrivalsAreKeptCompact();
    void linesKeepTheirDatagramPast2To31();
    void firstLineOfADatagram_data();
    void firstLineOfADatagram();
    void documentStaysWithinItsLimit_data();
    void documentStaysWithinItsLimit();
    void failedWritesSaySo_data();
    void failedWritesSaySo();
    void viewRulesDecideWhatShows_data();
    void viewRulesDecideWhatShows();
};

void tst_LogModel::archiveGivesBackExactly_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("every byte") << QStringList { allLatin1() + "\r\n", "second\r\n" };
    QTest::newRow("typed characters no byte holds")
        << QStringList { "plain\r\n",
                         QString("typed ") + QChar(0x20AC) + QChar(0xD83D) + QChar(0xDE00) + "\r\n",
                         "plain again\r\n" };
    QTest::newRow("an empty part") << QStringList { "", "x\r\n" };
}

void tst_LogModel::archiveGivesBackExactly()
{
    QFETCH(QStringList, parts);
    const ArrivalRecord record;
    LogArchive archive(record);
    for (const QString &part : parts)
        archive.append(part, part.count("\r\n"));
    QCOMPARE(archived(archive), parts.join(QString()));
    QCOMPARE(archive.lineCount(), parts.join(QString()).count("\r\n"));
    QCOMPARE(archive.characterCount(), parts.join(QString()).size());
    archive.clear();
    QVERIFY(archive.isEmpty());
    QCOMPARE(archived(archive), QString());
}

void tst_LogModel::archiveIsCompact()
{
    // Realistic syslog in parts of a million characters, as lines move out: well under a third of
    // a byte per character. (Kept as UTF-16, or compressed less well, it takes more.)
    const ArrivalRecord record;
    LogArchive archive(record);
    QString part;
    qint64 lines = 0;
    qint64 characters = 0;
    for (quint32 i = 0; i < 100000; ++i) {
        part += syslogLine(i) + "\r\n";
        ++lines;
        if (part.size() >= qsizetype(1024) * 1024 || i == 99999) {
            characters += part.size();
            archive.append(part, lines);
            part.clear();
            lines = 0;
        }
    }
    QCOMPARE_LT(archive.heldBytes(), characters / 3);
    QCOMPARE(archived(archive).count("\r\n"), 100000);
}

void tst_LogModel::arrivalsReadBackByACsvReader()
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
    QTextDocument document;
    LogModel model(&document);
    for (const auto &[payload, arrival] : std::as_const(sent))
        model.arrivals().append(QString::fromLatin1(payload), arrival);
    model.setText(QStringLiteral("the user replaced the text: the arrivals stay"));

    QTemporaryDir dir;
    const QString csv = dir.filePath("arrivals.csv");
    QString error;
    QVERIFY2(model.writeArrivals(csv, &error), qPrintable(error));

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

void tst_LogModel::arrivalsAreKeptCompact()
{
    // Syslog lines from one sender: the record holds them in far less than their own size, and
    // gives back each one exactly.
    ArrivalRecord record;
    constexpr int Count = 20000;
    for (int i = 0; i < Count; ++i)
        record.append(syslogLine(quint32(i)), arrivalFrom("192.0.2.7", 514, qint64(i) * 1'000'000));
    QCOMPARE_LT(record.heldBytes(), qint64(Count) * 50);
    for (const int i : { 0, 1023, 1024, 12345, Count - 1 }) {
        QCOMPARE(record.payload(i), syslogLine(quint32(i)).toLatin1());
        QCOMPARE(record.at(i).arrival.timeNs, qint64(i) * 1'000'000);
    }
}

void tst_LogModel::linesKeepTheirDatagramPast2To31()
{
    // Twelve hours at 50,000 datagrams a second pass 2^31: lines from before and after keep
    // theirs. Here a line is inserted every 2^28 datagrams, as if the others had been deleted.
    constexpr qint64 Step = qint64(1) << 28;
    constexpr int Lines = 20; // up to 5 * 2^30
    QTextDocument document;
    QTextCursor(&document).insertText(QString(Lines, QChar::ParagraphSeparator));
    qint64 newest = 0;
    LineArrivals lines(&document, [&newest] { return newest; });
    for (int i = 0; i < Lines; ++i) {
        newest = i * Step;
        lines.tag(document.findBlockByNumber(i), newest);
    }
    newest += qint64(1) << 30; // and more arrive that are not in the document yet
    for (int i = 0; i < Lines; ++i)
        QCOMPARE(lines.of(document.findBlockByNumber(i)).value_or(-1), i * Step);
    QCOMPARE(lines.firstLineFrom(8 * Step + 1).blockNumber(), 9);
    QCOMPARE(lines.of(document.lastBlock()), std::nullopt);
}

void tst_LogModel::firstLineOfADatagram_data()
{
    QTest::addColumn<qint64>("datagram");
    QTest::addColumn<int>("line"); // -1: none

    // Datagrams 0 "a", 1 "b1\r\nb2\r\nb3", a typed line, 2 "c", 3 "" (empty), 4 "d1\r\nd2";
    // datagram 2's line is then deleted.
    // Lines: 0 a, 1 b1, 2 b2, 3 b3, 4 typed, 5 (empty: 3), 6 d1, 7 d2, 8 (the open last line)
    QTest::newRow("a one-line datagram") << qint64(0) << 0;
    QTest::newRow("a datagram of three lines: its first") << qint64(1) << 1;
    QTest::newRow("a datagram whose line is gone: the next one") << qint64(2) << 5;
    QTest::newRow("an empty datagram") << qint64(3) << 5;
    QTest::newRow("the last datagram") << qint64(4) << 6;
    QTest::newRow("after the last") << qint64(5) << -1;
}

void tst_LogModel::firstLineOfADatagram()
{
    QFETCH(qint64, datagram);
    QFETCH(int, line);
    QTextDocument document;
    LogModel model(&document);
    appendDatagrams(model, { "a", "b1\r\nb2\r\nb3" });
    QTextCursor end(&document);
    end.movePosition(QTextCursor::End);
    model.text().insertTyped(end, QStringLiteral("typed\r\n"));
    appendDatagrams(model, { "c", "", "d1\r\nd2" });
    QTextCursor c(document.findBlockByNumber(5));
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    QCOMPARE(document.toPlainText(), QStringLiteral("a\nb1\nb2\nb3\ntyped\n\nd1\nd2\n"));

    const QTextBlock found = model.lines().firstLineFrom(datagram);
    QCOMPARE(found.isValid() ? found.blockNumber() : -1, line);
    if (found.isValid())
        QCOMPARE(model.lines().firstLineArrival(found).has_value(), true);
}

void tst_LogModel::documentStaysWithinItsLimit_data()
{
    QTest::addColumn<int>("characters");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("payload"); // %1: the datagram's number
    QTest::addColumn<int>("perBatch");
    QTest::addColumn<int>("batches");
    QTest::addColumn<int>("typedEvery"); // batches; 0: the user types nothing

    const QString line = QStringLiteral("%1 ") + QString(100, u'.');
    QTest::newRow("many small batches") << 20000 << 100000 << line << 10 << 100 << 0;
    QTest::newRow("one batch of 50 times the limit") << 20000 << 100000 << line << 10000 << 1 << 0;
    QTest::newRow("one batch larger than a move step")
        << 100000 << 1000000 << QStringLiteral("%1 ") + QString(300, u'-') << 8000 << 1 << 0;
    QTest::newRow("the line limit") << 1000000 << 1000 << "%1" << 3000 << 2 << 0;
    QTest::newRow("empty datagrams") << 1000000 << 1000 << "" << 5000 << 1 << 0;
    QTest::newRow("datagrams of several lines")
        << 20000 << 1000 << "%1 first\r\nsecond\r\n\r\nfourth" << 100 << 20 << 0;
    QTest::newRow("lone line ends inside") << 20000 << 100000 << "%1\rcr\nlf\n\r" << 100 << 20 << 0;
    QTest::newRow("typed lines among them") << 20000 << 100000 << line << 50 << 40 << 3;
}

void tst_LogModel::documentStaysWithinItsLimit()
{
    QFETCH(int, characters);
    QFETCH(int, lines);
    QFETCH(QString, payload);
    QFETCH(int, perBatch);
    QFETCH(int, batches);
    QFETCH(int, typedEvery);
    QTextDocument document;
    LogModel model(&document);
    model.setDocumentLimit({ characters, lines });
    QString expected;
    int sent = 0;
    for (int batch = 0; batch < batches; ++batch) {
        QStringList payloads;
        for (int i = 0; i < perBatch; ++i, ++sent) {
            payloads << (payload.contains("%1") ? payload.arg(sent) : payload);
            expected += payloads.last() + "\r\n";
        }
        appendDatagrams(model, payloads);
        QCOMPARE_LE(document.characterCount(), characters);
        QCOMPARE_LE(document.blockCount(), lines);
        if (typedEvery > 0 && batch % typedEvery == 1) {
            QTextCursor end(&document);
            end.movePosition(QTextCursor::End);
            model.text().insertTyped(end, QStringLiteral("typed\r\n"));
            expected += "typed\r\n";
        }
    }
    QVERIFY(!model.archive().isEmpty());
    QCOMPARE(model.archive().lineCount() + document.blockCount() - 1, expected.count("\r\n"));
    QCOMPARE(model.archive().characterCount()
                 + model.text().text(0, document.characterCount() - 1).size(),
             expected.size());
    QCOMPARE(wholeText(model), expected);
    // The lines still in the document show their own datagrams.
    QCOMPARE(model.lines().of(document.lastBlock().previous()), std::optional<qint64>(sent - 1));
    // Datagrams that moved out as they arrived are not kept twice: the record holds their text.
    if (typedEvery == 0)
        QCOMPARE_LT(model.archive().heldBytes(), 100 * 1000);
}

void tst_LogModel::failedWritesSaySo_data()
{
    QTest::addColumn<QString>("where"); // a folder that refuses the file, or empty for a full disk
    // /proc refuses new files even to root, for whom a folder's permissions are no bar.
    QTest::newRow("a folder that refuses writing") << QStringLiteral("/proc");
    QTest::newRow("a full disk") << QString();
}

void tst_LogModel::failedWritesSaySo()
{
    QFETCH(QString, where);
    QTextDocument document;
    LogModel model(&document);
    QStringList payloads;
    for (quint32 i = 0; i < 2000; ++i)
        payloads << syslogLine(i);
    appendDatagrams(model, payloads);

    QTemporaryDir dir;
    const QString path = (where.isEmpty() ? dir.path() : where) + "/saved.log";
    if (where.isEmpty()) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the file as it was");
    }
    // A full disk, as a process meets it: a write past the limit fails.
    rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    if (where.isEmpty()) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = unlimited;
        small.rlim_cur = rlim_t(64) * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    QString logError;
    QString arrivalsError;
    const bool logWritten = model.writeLog(path, false, &logError);
    const bool arrivalsWritten = model.writeArrivals(path, &arrivalsError);
    setrlimit(RLIMIT_FSIZE, &unlimited);

    QVERIFY(!logWritten);
    QVERIFY(!arrivalsWritten);
    QVERIFY(!logError.isEmpty());
    QVERIFY(!arrivalsError.isEmpty());
    if (where.isEmpty()) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the file as it was"));
    }
}

void tst_LogModel::viewRulesDecideWhatShows_data()
{
    QTest::addColumn<QString>("text"); // the show-only field
    QTest::addColumn<int>("severity"); // -1: none
    QTest::addColumn<QString>("sender"); // "show ADDRESS PORT" or "hide ...", PORT "any"; or empty
    QTest::addColumn<QString>("from"); // the datagram's "ADDRESS PORT"; empty: the user's lines
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("error");

    const QString v4 = QStringLiteral("192.0.2.1 514");
    const QStringList error = { "<11>kernel: an ERROR here" };
    QTest::newRow("lower case: any case") << "error" << -1 << "" << v4 << error << true << "";
    QTest::newRow("a capital: that case") << "Error" << -1 << "" << v4 << error << false << "";
    QTest::newRow("! hides what holds it") << "!kernel" << -1 << "" << v4 << error << false << "";
    QTest::newRow("! shows the rest") << "!debug" << -1 << "" << v4 << error << true << "";
    QTest::newRow("an expression") << "/^<1[0-9]>k/" << -1 << "" << v4 << error << true << "";
    QTest::newRow("an expression that fails") << "/^<2/" << -1 << "" << v4 << error << false << "";
    QTest::newRow("an expression with a capital")
        << "/ERR/" << -1 << "" << v4 << QStringList { "err" } << false << "";
    QTest::newRow("not an expression: no rule")
        << "/[/" << -1 << "" << v4 << error << true << "missing terminating ]";
    QTest::newRow("several lines: any of them")
        << "second" << -1 << "" << v4 << QStringList { "first", "second" } << true << "";
    QTest::newRow("several lines: hidden whole")
        << "!second" << -1 << "" << v4 << QStringList { "first", "second" } << false << "";
    QTest::newRow("a typed line, as it reads") << "note" << -1 << ""
                                               << "" << QStringList { "my note" } << true << "";
    QTest::newRow("severity: as urgent") << "" << 3 << "" << v4 << error << true << "";
    QTest::newRow("severity: less urgent")
        << "" << 3 << "" << v4 << QStringList { "<12>a warning" } << false << "";
    QTest::newRow("severity: no priority")
        << "" << 6 << "" << v4 << QStringList { "plain" } << false << "";
    QTest::newRow("severity: a typed line") << "" << 6 << ""
                                            << "" << QStringList { "<11>typed" } << false << "";
    QTest::newRow("severity 7: every line") << "" << 7 << ""
                                            << "" << QStringList { "typed" } << true << "";
    QTest::newRow("sender and port")
        << "" << -1 << "show 192.0.2.1 514" << v4 << error << true << "";
    QTest::newRow("sender, another port")
        << "" << -1 << "show 192.0.2.1 515" << v4 << error << false << "";
    QTest::newRow("sender, any port") << "" << -1 << "show 192.0.2.1 any"
                                      << "192.0.2.1 40000" << error << true << "";
    QTest::newRow("another sender")
        << "" << -1 << "show 192.0.2.2 any" << v4 << error << false << "";
    QTest::newRow("an IPv6 sender") << "" << -1 << "show 2001:db8::1 any"
                                    << "2001:db8::1 514" << error << true << "";
    QTest::newRow("IPv4 is not IPv6")
        << "" << -1 << "show 2001:db8::1 any" << v4 << error << false << "";
    QTest::newRow("hiding a sender")
        << "" << -1 << "hide 192.0.2.1 any" << v4 << error << false << "";
    QTest::newRow("hiding a sender: typed lines stay")
        << "" << -1 << "hide 192.0.2.1 any"
        << "" << QStringList { "typed" } << true << "";
    QTest::newRow("all rules: each lets it through")
        << "kernel" << 3 << "show 192.0.2.1 514" << v4 << error << true << "";
    QTest::newRow("all rules: one does not")
        << "kernel" << 2 << "show 192.0.2.1 514" << v4 << error << false << "";
}

void tst_LogModel::viewRulesDecideWhatShows()
{
    QFETCH(QString, text);
    QFETCH(int, severity);
    QFETCH(QString, sender);
    QFETCH(QString, from);
    QFETCH(QStringList, lines);
    QFETCH(bool, shown);
    QFETCH(QString, error);
    const auto arrival = [](const QString &addressAndPort) {
        return arrivalFrom(addressAndPort.section(u' ', 0, 0).toLatin1().constData(),
                           quint16(addressAndPort.section(u' ', 1, 1).toUInt()), 0);
    };
    ViewRules rules;
    QVERIFY(rules.isEmpty());
    const QString said = rules.setText(text);
    QVERIFY2(said.contains(error), qPrintable(said));
    if (severity >= 0)
        rules.setSeverity(severity);
    if (!sender.isEmpty()) {
        const QString rule = sender.section(u' ', 1);
        rules.addSender(ViewRules::senderOf(arrival(rule), !rule.endsWith("any")),
                        sender.startsWith("show"));
    }
    std::optional<ArrivalRecord::Entry> entry;
    if (!from.isEmpty()) {
        ArrivalRecord record;
        record.append(lines.join("\r\n"), arrival(from));
        entry = record.at(0);
    }
    const std::vector<QString> texts(lines.begin(), lines.end());
    QCOMPARE(rules.shows(entry, texts), shown);
    rules.clear();
    QVERIFY(rules.isEmpty());
    QVERIFY(rules.shows(entry, texts));
}

QTEST_MAIN(tst_LogModel)
#include "tst_logmodel.moc"
