// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The log's model without a window: the archive and the arrivals give back exactly what went in
// and stay compact, lines keep their datagrams past 2^31 of them, the first line of a datagram is
// found, the document stays within its limit, and writes that fail say so.

#include "ArrivalJson.h"
#include "ArrivalText.h"
#include "HexDump.h"
#include "LineArrivals.h"
#include "LogModel.h"
#include "SyslogMessage.h"
#include "SyslogTime.h"
#include "TimeStamps.h"
#include "ViewRules.h"

#include "LogSamples.h"
#include "SaveNow.h"
#include "SyslogJsonAgreement.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <csignal>
#include <cstring>
#include <ctime>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString textOf(const LogSnapshot &snapshot)
{
    QString text;
    QString error;
    const ArrivalSnapshot::Read read = snapshot.forEachPart(
        [&text](QStringView part) {
            text += part;
            return true;
        },
        &error);
    if (read != ArrivalSnapshot::Read::Done)
        qWarning("not read: %s", qPrintable(error));
    return text;
}

QString archived(const LogArchive &archive)
{
    return textOf(LogSnapshot(archive, {}));
}

QString wholeText(const LogModel &model)
{
    return textOf(model.snapshot());
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

// The messages of real senders in tests/data, by name.
QHash<QString, QByteArray> senderMessages()
{
    QHash<QString, QByteArray> messages;
    QFile file(QFINDTESTDATA("data/syslog-senders.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QByteArray escaped = line.mid(line.indexOf('\t') + 1);
        QByteArray bytes;
        for (qsizetype i = 0; i < escaped.size(); ++i) {
            if (escaped.at(i) == '\\' && escaped.mid(i + 1, 1) == "x") {
                bytes += char(escaped.mid(i + 2, 2).toInt(nullptr, 16));
                i += 3;
            } else if (escaped.at(i) == '\\') {
                bytes += escaped.at(++i);
            } else {
                bytes += escaped.at(i);
            }
        }
        messages.insert(QString::fromLatin1(line.left(line.indexOf('\t'))), bytes);
    }
    return messages;
}

// The fields of a decoded message in one line: "format|host|app|procid|msgid|sd|message".
// Runs a Python script on a saved file, as a tool that reads it would; each line it prints,
// split at spaces. Empty when the script failed, with why in the test's log.
QList<QList<QByteArray>> readBack(const QString &python, const char *script, const QString &path)
{
    QProcess reader;
    reader.start(python, { QStringLiteral("-c"), QString::fromLatin1(script), path });
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0) {
        qWarning("%s", reader.readAllStandardError().constData());
        return {};
    }
    QList<QList<QByteArray>> rows;
    for (const QByteArray &line : reader.readAllStandardOutput().trimmed().split('\n'))
        rows.append(line.split(' '));
    return rows;
}

// What every saved row holds of its datagram: the time, the sender, the size, the drops before
// it, and the payload (in hex).
void compareArrival(const QList<QByteArray> &fields, const QByteArray &payload,
                    const Arrival &arrival)
{
    static const QRegularExpression isoTime(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
    QVERIFY2(isoTime.match(QString::fromLatin1(fields.value(0))).hasMatch(), fields.value(0));
    QCOMPARE(QString::fromLatin1(fields.value(1)), arrival.senderText());
    QCOMPARE(fields.value(2).toInt(), payload.size());
    QCOMPARE(fields.value(3).toUInt(), arrival.droppedBefore);
    QCOMPARE(QByteArray::fromHex(fields.value(4)), payload);
}

QString fieldsOf(const SyslogMessage &message)
{
    QStringList elements;
    const SyslogFields &fields = message.fields;
    for (const SyslogFields::Element &element : fields.structuredData) {
        QStringList parameters;
        for (const SyslogFields::Parameter &parameter : element.parameters)
            parameters << fieldText(parameter.name) + '=' + valueText(parameter.value);
        elements << fieldText(element.id) + ':' + parameters.join(u',');
    }
    QString text = message.message;
    text.replace(QChar(0), QStringLiteral("\\0")); // visible
    return QStringList { SyslogFields::formatName(fields.format),
                         fieldText(fields.hostname),
                         fieldText(fields.appName),
                         fieldText(fields.procId),
                         fieldText(fields.msgId),
                         elements.join(u' '),
                         text }
        .join(u'|');
}

// A datagram's line of a JSON Lines export, as a JSON reader reads it.
QJsonObject jsonLineOf(QByteArrayView payload, qint64 arrivalNs = 0)
{
    ArrivalEntry entry;
    entry.bytes = qint32(payload.size());
    entry.arrival.timeNs = arrivalNs;
    QJsonParseError error {};
    const QJsonDocument line =
        QJsonDocument::fromJson(arrivalJson(entry, payload).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s", qPrintable(error.errorString()));
    return line.object();
}

// Nanoseconds since the epoch of a local time.
qint64 localNs(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second)).toMSecsSinceEpoch()
        * 1'000'000;
}

// The process in the zone of 'rule' while it lives: a POSIX rule rather than a zone's file, which
// a machine may not have.
class InZone
{
public:
    explicit InZone(const char *rule)
        : m_before(qgetenv("TZ"))
    {
        qputenv("TZ", rule);
        tzset();
    }
    ~InZone()
    {
        m_before.isNull() ? qunsetenv("TZ") : qputenv("TZ", m_before);
        tzset();
    }
    InZone(const InZone &) = delete;
    InZone &operator=(const InZone &) = delete;

private:
    QByteArray m_before;
};

} // namespace

class tst_LogModel : public QObject
{
    Q_OBJECT

private slots:
    void archiveGivesBackExactly_data();
    void archiveGivesBackExactly();
    void archiveIsCompact();
    void arrivalsReadBackByACsvReader();
    void arrivalsReadBackAsJsonLines();
    void jsonKeepsEveryByteAnywhere();
    void timesAsQtWritesThem();
    void sendersAsText_data();
    void sendersAsText();
    void arrivalsAreKeptCompact();
    void linesKeepTheirDatagramPast2To31();
    void firstLineOfADatagram_data();
    void firstLineOfADatagram();
    void documentStaysWithinItsLimit_data();
    void documentStaysWithinItsLimit();
    void failedWritesSaySo_data();
    void failedWritesSaySo();
    void savesRefuseWhatIsNotAFile_data();
    void savesRefuseWhatIsNotAFile();
    void viewRulesDecideWhatShows_data();
    void viewRulesDecideWhatShows();
    void syslogAsSendersWriteIt_data();
    void syslogAsSendersWriteIt();
    void syslogThatDoesNotRead_data();
    void syslogThatDoesNotRead();
    void timeGrammars_data();
    void timeGrammars();
    void timeWithoutZoneTakesTheOffsetOfItsOwnTime_data();
    void timeWithoutZoneTakesTheOffsetOfItsOwnTime();
    void tooltipCutsTheMessageShort_data();
    void tooltipCutsTheMessageShort();
    void tooltipTellsOnlyWhatIsKnown_data();
    void tooltipTellsOnlyWhatIsKnown();
    void hexDumpShowsEveryByte_data();
    void hexDumpShowsEveryByte();
    void senderClockAgainstArrival_data();
    void senderClockAgainstArrival();
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
    LogArchive archive;
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
    LogArchive archive;
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
    // Each sign that needs quotes alone, where a field is read eight bytes at a time and after.
    const QList<QByteArray> special = { "a,b",
                                        "say \"hi\"",
                                        "cr\rlf\ncrlf\r\n",
                                        "",
                                        everyByte,
                                        QByteArray("nul\0nul", 7),
                                        "\xA0\xFF",
                                        "a long field with\na lone line feed",
                                        "a long field with\ra lone carriage return",
                                        "a long field with, a comma",
                                        "a long field with \" a quote",
                                        "at the end: ,",
                                        "at the end: \n" };
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
    const SaveResult saved = saveArrivalsNow(model.arrivals().snapshot(), csv, false);
    QVERIFY2(saved.outcome == SaveResult::Outcome::Written, qPrintable(saved.error));

    // Each row back as: time, sender, bytes, dropped, and the payload as Latin-1 in hex.
    const QList<QList<QByteArray>> rows = readBack(
        python,
        "import csv, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
        "    rows = list(csv.reader(f))\n"
        "assert rows[0] == ['time', 'sender', 'bytes', 'dropped_before', 'payload'], rows[0]\n"
        "for r in rows[1:]:\n"
        "    print(r[0], r[1], r[2], r[3], r[4].encode('latin-1').hex())\n",
        csv);
    QCOMPARE(rows.size(), sent.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        compareArrival(rows.at(i), sent.at(i).first, sent.at(i).second);
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(rows.at(0).value(1), QByteArray("[2001:db8::1]:40000"));
    QCOMPARE(rows.at(1).value(1), QByteArray("192.0.2.7:514"));
    QCOMPARE(rows.at(1501).value(3), QByteArray("7"));
}

void tst_LogModel::arrivalsReadBackAsJsonLines()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("needs python3, whose json module is the reader");
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    const QHash<QString, QByteArray> senders = senderMessages();
    QList<std::pair<QByteArray, Arrival>> sent = {
        { everyByte, arrivalFrom("192.0.2.7", 514, 1'000'000'000) },
        { QByteArray("nul\0\"quoted\"\\", 13), arrivalFrom("2001:db8::1", 40000, 2, 5) },
        { senders.value("logger-rfc5424-sd"), arrivalFrom("192.0.2.7", 514, 3) },
        { senders.value("rfc5424-bom"), arrivalFrom("192.0.2.7", 514, 4) },
        { senders.value("cisco-ios"), arrivalFrom("192.0.2.8", 514, 5) },
        { QByteArray("<14>just words"), arrivalFrom("192.0.2.7", 514, 6) },
        { QByteArray("no priority"), arrivalFrom("192.0.2.7", 514, 7) },
        // An SD-ID and a parameter name repeated: one object, the values of the name in order.
        { QByteArray("<14>1 - h a - - [x@1 a=\"1\"][x@1 b=\"3\"][y a=\"5\"][x@1 a=\"2\"] m"),
          arrivalFrom("192.0.2.7", 514, 8) },
    };
    // And every sender's message, and messages that read in part: no key twice in any.
    QStringList names = senders.keys();
    names.sort();
    for (const QString &name : names)
        sent.append({ senders.value(name), arrivalFrom("192.0.2.9", 514, sent.size()) });
    for (const QByteArray &partly :
         { QByteArray("<14>1 2026-02-30T10:00:00Z h a - - [x a=\"1\"] m"),
           QByteArray("<14>1 - ") + QByteArray(256, 'h') + " a - - - m",
           QByteArray("<14>1 - h a\x01 - - [x a=\"1\"] m") })
        sent.append({ partly, arrivalFrom("192.0.2.9", 514, sent.size()) });
    QTextDocument document;
    LogModel model(&document);
    for (const auto &[payload, arrival] : sent)
        model.arrivals().append(QString::fromLatin1(payload), arrival);
    QTemporaryDir dir;
    const QString path = dir.filePath("arrivals.jsonl");
    const SaveResult saved = saveArrivalsNow(model.arrivals().snapshot(), path, true);
    QVERIFY2(saved.outcome == SaveResult::Outcome::Written, qPrintable(saved.error));

    // Each line back through Python's json, as the facts a test can compare.
    const QList<QList<QByteArray>> rows = readBack(
        python,
        "import json, sys\n"
        "def unique(pairs):\n"
        "    keys = [k for k, _ in pairs]\n"
        "    assert len(set(keys)) == len(keys), keys\n"
        "    return dict(pairs)\n"
        "for line in open(sys.argv[1], encoding='utf-8'):\n"
        "    o = json.loads(line, object_pairs_hook=unique)\n"
        "    s = o.get('syslog', {})\n"
        "    sd = ';'.join(k + ':' + ','.join(n + '=' + (v if isinstance(v, str) else "
        "'|'.join(v))\n"
        "                                     for n, v in p.items())\n"
        "                  for k, p in s.get('structured_data', {}).items())\n"
        "    print(o['time'], o['sender'], o['bytes'], o['dropped_before'],\n"
        "          o['payload'].encode('latin-1').hex(), s.get('format', '-'),\n"
        "          s.get('facility', '-'), s.get('severity', '-'), s.get('hostname', '-'),\n"
        "          s.get('app', '-'), s.get('msgid', '-'), sd.encode().hex() or '-',\n"
        "          s.get('msg', '').encode().hex() or '-', all(v != '' for v in s.values()),\n"
        "          s.get('timestamp', '-'))\n",
        path);
    QCOMPARE(rows.size(), sent.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        compareArrival(rows.at(i), sent.at(i).first, sent.at(i).second);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(rows.at(i).value(13), QByteArray("True")); // what a message lacks is left out
    }
    const auto syslog = [&](int row) { return rows.at(row).mid(5, 6).join(' '); };
    QCOMPARE(syslog(0), QByteArray("- - - - - -"));
    QCOMPARE(syslog(2), QByteArray("rfc5424 local3 err vm deploy DEPLOY"));
    // The sender's time to the microsecond, as it wrote it; to the millisecond where it wrote so.
    QCOMPARE(rows.at(2).value(14), QByteArray("2026-12-08T19:45:39.267317+00:00"));
    QCOMPARE(rows.at(3).value(14), QByteArray("2003-10-11T22:14:15.003+00:00"));
    QCOMPARE(QByteArray::fromHex(rows.at(2).value(11)),
             QByteArray("timeQuality:tzKnown=1,isSynced=0;release@32473:version=2.4.1,"
                        "note=quote \" and ] and \\;origin:ip=192.0.2.10"));
    // After a BOM the message is UTF-8, the BOM left out.
    QCOMPARE(QByteArray::fromHex(rows.at(3).value(12)),
             QByteArray("'su root' failed for lonvick on /dev/pts/8"));
    QCOMPARE(syslog(4), QByteArray("rfc3164 local7 notice - LINK UPDOWN"));
    // A priority and words: the words are the message.
    QCOMPARE(syslog(5), QByteArray("rfc3164 user info - - -"));
    QCOMPARE(QByteArray::fromHex(rows.at(5).value(12)), QByteArray("just words"));
    QCOMPARE(syslog(6), QByteArray("- - - - - -"));
    QCOMPARE(QByteArray::fromHex(rows.at(7).value(11)), QByteArray("x@1:a=1|2,b=3;y:a=5"));
}

void tst_LogModel::jsonKeepsEveryByteAnywhere()
{
    // Each byte value at each place of a run long enough to be read eight bytes at a time, in the
    // payload and in a message that is written from it.
    const QByteArray header("<14>Dec  8 19:45:40 h a: ");
    for (int value = 0; value < 256; ++value) {
        for (int at = 0; at < 17; ++at) {
            QByteArray message(26, 'x');
            message[at] = char(value);
            const QJsonObject line = jsonLineOf(header + message);
            QCOMPARE(line.value("payload").toString().toLatin1(), header + message);
            QCOMPARE(line.value("syslog").toObject().value("msg").toString().toLatin1(), message);
        }
    }
}

void tst_LogModel::timesAsQtWritesThem()
{
    // Out of order, so that a day written before is not taken for the next one; across days,
    // years, a leap day, before 1970, and in offsets east, west and none.
    const QList<QDateTime> times = {
        QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59, 999), Qt::UTC),
        QDateTime(QDate(2026, 12, 8), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 1), Qt::UTC),
        QDateTime(QDate(2028, 2, 29), QTime(12, 30, 5, 250), Qt::OffsetFromUTC, 3600),
        QDateTime(QDate(2026, 12, 31), QTime(23, 0), Qt::OffsetFromUTC, -(5 * 3600 + 1800)),
        QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),
        QDateTime(QDate(1900, 3, 1), QTime(1, 2, 3), Qt::OffsetFromUTC, 14 * 3600),
        QDateTime(QDate(2026, 12, 8), QTime(0, 0), Qt::UTC),
    };
    for (const QDateTime &time : times) {
        QString qt = time.toString(Qt::ISODateWithMs);
        if (qt.endsWith(u'Z'))
            qt = qt.chopped(1) + "+00:00";
        QCOMPARE(rfc3339Text(time.toMSecsSinceEpoch(), time.offsetFromUtc()), qt);
    }
}

void tst_LogModel::sendersAsText_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("text");
    QTest::newRow("v4 lowest") << "0.0.0.0" << 0 << "0.0.0.0:0";
    QTest::newRow("v4 highest") << "255.255.255.255" << 65535 << "255.255.255.255:65535";
    QTest::newRow("v4 one digit each") << "1.2.3.4" << 9 << "1.2.3.4:9";
    QTest::newRow("v6 shortened") << "2001:db8::1" << 514 << "[2001:db8::1]:514";
    QTest::newRow("v6 longest") << "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255" << 65535
                                << "[ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff]:65535";
    QTest::newRow("v6 mapped v4") << "::ffff:192.0.2.7" << 40000 << "[::ffff:192.0.2.7]:40000";
}

void tst_LogModel::sendersAsText()
{
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(QString, text);
    QCOMPARE(arrivalFrom(qPrintable(address), quint16(port), 0).senderText(), text);
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
        QCOMPARE(record.at(i)->arrival.timeNs, qint64(i) * 1'000'000);
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
    // Datagrams that moved out as they arrived are not kept twice: the record holds their text,
    // the archive only which they were.
    if (typedEvery == 0) {
        for (const LogArchive::Part &part : model.archive().parts()) {
            QCOMPARE_GE(part.first, 0);
            QCOMPARE(part.bytes.size(), 0);
        }
    }
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
    const QList<SaveResult> saves = { saveLogNow(model.snapshot(), path),
                                      saveArrivalsNow(model.arrivals().snapshot(), path, false),
                                      saveArrivalsNow(model.arrivals().snapshot(), path, true) };
    setrlimit(RLIMIT_FSIZE, &unlimited);

    for (const SaveResult &save : saves) {
        QCOMPARE(save.outcome, SaveResult::Outcome::Failed);
        QVERIFY(!save.error.isEmpty());
    }
    if (where.isEmpty()) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the file as it was"));
    }
}

void tst_LogModel::savesRefuseWhatIsNotAFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("refusal"); // empty: it is saved, through the link
    QTest::newRow("a pipe") << "fifo"
                            << "it is not a file but a device, a pipe or a socket";
    QTest::newRow("a device") << "device"
                              << "it is not a file but a device, a pipe or a socket";
    QTest::newRow("a socket") << "socket"
                              << "it is not a file but a device, a pipe or a socket";
    QTest::newRow("a folder") << "folder"
                              << "it is a folder";
    QTest::newRow("a link of one's own") << "own link"
                                         << "";
    QTest::newRow("another's link in a folder everybody writes to")
        << "shared link"
        << "it is a link that another user made in a folder everybody may write to";
}

void tst_LogModel::savesRefuseWhatIsNotAFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    QString path = dir.filePath("target");
    const QString target = dir.filePath("real");
    if (kind == "fifo") {
        QCOMPARE(mkfifo(qPrintable(path), 0600), 0);
    } else if (kind == "device") {
        path = QStringLiteral("/dev/null");
    } else if (kind == "socket") {
        const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, qPrintable(path), sizeof(address.sun_path) - 1);
        QCOMPARE(bind(listening, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        close(listening);
    } else if (kind == "folder") {
        QVERIFY(QDir(dir.path()).mkdir("target"));
    } else {
        QCOMPARE(symlink(qPrintable(target), qPrintable(path)), 0);
        if (kind == "shared link") {
            if (geteuid() != 0)
                QSKIP("making a link another user owns needs root");
            QCOMPARE(chmod(qPrintable(dir.path()), 01777), 0);
            QCOMPARE(lchown(qPrintable(path), 65534, 65534), 0); // nobody
        }
    }
    struct stat before
    {
    };
    stat(qPrintable(path), &before);

    QTextDocument document;
    LogModel model(&document);
    appendDatagrams(model, { QStringLiteral("a line") });
    const SaveResult saved = saveLogNow(model.snapshot(), path);
    struct stat after
    {
    };
    stat(qPrintable(path), &after);
    if (refusal.isEmpty()) {
        QCOMPARE(saved.outcome, SaveResult::Outcome::Written);
        QFile real(target);
        QVERIFY(real.open(QIODevice::ReadOnly));
        QCOMPARE(real.readAll(), QByteArray("a line\r\n"));
        return;
    }
    QCOMPARE(saved.outcome, SaveResult::Outcome::Failed);
    QCOMPARE(saved.error, refusal);
    // Left as it was: the same kind of thing, the same one.
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_ino, before.st_ino);
    QVERIFY(!QFile::exists(target));
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
    std::optional<ArrivalEntry> entry;
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

void tst_LogModel::syslogAsSendersWriteIt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("timestamp"); // as RFC 3339 in UTC, or empty
    QTest::addColumn<int>("priority");

    const auto row = [](const char *name, const char *fields, const char *timestamp, int pri) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(fields)
                            << QString::fromLatin1(timestamp) << pri;
    };
    row("logger-rfc3164", "rfc3164|vm|backup|4242|||backup of /home finished in 12 s", "", 28);
    row("logger-rfc3164-notag", "rfc3164|vm|root||||a message with [brackets] in it", "", 13);
    row("logger-rfc5424-sd",
        "rfc5424|vm|deploy||DEPLOY|timeQuality:tzKnown=1,isSynced=0 "
        "release@32473:version=2.4.1,note=quote \" and ] and \\ origin:ip=192.0.2.10|"
        "rollout failed on 3 of 12 hosts",
        "2026-12-08T19:45:39.267Z", 155);
    row("logger-rfc5424-plain", "rfc5424|vm|root||||session opened", "2026-12-08T19:45:39.269Z",
        38);
    // The NUL it puts after the message is not part of it.
    row("python-sysloghandler", "rfc3164||worker|77|||job 17 failed: timeout", "", 131);
    // No header: all of it is the message.
    row("python-sysloghandler-noident", "rfc3164||||||python-sysloghandler-noident INFO started",
        "", 14);
    const char *sshd = "Accepted publickey for admin from 192.0.2.7 port 50422 ssh2";
    row("rsyslog-traditional", qPrintable(QString("rfc3164|vm|sshd|812|||") + sshd), "", 13);
    // RFC 5424 puts one space before the message: rsyslog's message begins with another.
    row("rsyslog-protocol23", qPrintable(QString("rfc5424|vm|sshd|812||| ") + sshd),
        "2026-12-09T23:35:04.052Z", 13);
    row("rsyslog-high-precision", qPrintable(QString("rfc3164|vm|sshd|812|||") + sshd),
        "2026-12-09T23:35:04.052Z", 13);
    // The tag ends at the space; the line end after the message is not part of it.
    row("rsyslog-tag-without-colon", "rfc3164|vm|watchdog||||ping lost, retrying", "", 13);
    row("rsyslog-tag-without-colon-protocol23", "rfc5424|vm|watchdog|||| ping lost, retrying",
        "2026-12-09T23:35:04.095Z", 13);
    row("rsyslog-postfix", "rfc3164|vm|postfix/smtpd|2101|||connect from unknown[192.0.2.9]", "",
        22);
    row("rsyslog-postfix-protocol23", "rfc5424|vm|postfix|2101||| connect from unknown[192.0.2.9]",
        "2026-12-09T23:35:04.622Z", 22);
    row("rfc5424-bom",
        "rfc5424|mymachine.example.com|su||ID47||'su root' failed for lonvick on /dev/pts/8",
        "2003-10-11T22:14:15.003Z", 34);
    row("rfc5424-offset", "rfc5424|192.0.2.1|myproc|8710|||%% It's time to make the do-nuts.",
        "2003-08-24T12:14:15.000Z", 165);
    row("rfc5424-two-elements",
        "rfc5424|mymachine.example.com|evntslog||ID47|exampleSDID@32473:iut=3,"
        "eventSource=Application,eventID=1011 examplePriority@32473:class=high|",
        "2003-10-11T22:14:15.003Z", 165);
    row("rfc3164-example", "rfc3164|mymachine|su||||'su root' failed for lonvick on /dev/pts/8", "",
        34);
    // The tag ends at the first character that is not alphanumeric (RFC 3164, 4.1.3).
    row("rfc3164-no-tag", "rfc3164|10.0.0.99|Use||||the BFG!", "", 13);
    row("cisco-ios", "rfc3164||LINK||UPDOWN||Interface FastEthernet0/1, changed state to up", "",
        189);
    row("cisco-ios-host-year",
        "rfc3164|router1|SYS||CONFIG_I||Configured from console by vty0 (10.0.0.5)", "", 187);
    row("junos", "rfc3164|fw1|mgd|1234|||UI_COMMIT: User 'admin' requested 'commit' operation", "",
        28);
    row("octet-counted", "rfc5424|host|app||ID47||a counted one", "2003-10-11T22:14:15.003Z", 165);
}

void tst_LogModel::syslogAsSendersWriteIt()
{
    QFETCH(QString, name);
    QFETCH(QString, fields);
    QFETCH(QString, timestamp);
    QFETCH(int, priority);
    const QByteArray payload = senderMessages().value(name);
    QVERIFY2(!payload.isEmpty(), qPrintable("no message " + name + " in tests/data"));
    const SyslogMessage message = SyslogMessage::decode(payload, localNs(2026, 12, 8, 19, 45, 40));
    QCOMPARE(fieldsOf(message), fields);
    QVERIFY2(message.fields.problem.isEmpty(), qPrintable(message.fields.problem));
    QCOMPARE(message.fields.priority.value_or(SyslogPriority { -1 }).value, priority);
    if (!timestamp.isEmpty()) {
        QVERIFY(message.timestamp);
        QCOMPARE(message.timestamp->toUTC().toString(Qt::ISODateWithMs), timestamp);
    }
    // The message is the end of the payload, as it came.
    QVERIFY(message.fields.messageOffset < 0 || message.fields.messageOffset <= payload.size());
    QCOMPARE(message.fields.hasBom, name == "rfc5424-bom");
    const QString disagreement =
        syslogJsonDisagreement(jsonLineOf(payload, localNs(2026, 12, 8, 19, 45, 40)), message);
    QVERIFY2(disagreement.isEmpty(), qPrintable(disagreement));
}

void tst_LogModel::syslogThatDoesNotRead_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<int>("priority"); // -1: none
    QTest::addColumn<QString>("problem");

    QTest::newRow("plain text") << QByteArray("hello") << "||||||" << -1 << "";
    QTest::newRow("a lone <") << QByteArray("<") << "||||||" << -1 << "priority";
    QTest::newRow("a priority over 191")
        << QByteArray("<192>Dec  8 10:00:00 h a: m") << "||||||" << -1 << "over 191";
    QTest::newRow("a priority with a leading zero")
        << QByteArray("<013>x") << "||||||" << -1 << "priority";
    // With no header after the priority, all the rest is the message (RFC 3164, 4.3.3).
    QTest::newRow("a version, then no time")
        << QByteArray("<14>1 yesterday host app - - - m")
        << "rfc3164||||||1 yesterday host app - - - m" << 14 << "";
    QTest::newRow("a priority and words, then line ends and NULs")
        << QByteArray("<14>just words\r\n\0\0", 18) << "rfc3164||||||just words" << 14 << "";
    QTest::newRow("a priority and nothing else")
        << QByteArray("<14>") << "rfc3164||||||" << 14 << "";
    QTest::newRow("a tag of characters no tag holds, after a header")
        << QByteArray("<14>Dec  8 10:00:00 h a+b rest") << "rfc3164|h|||||a+b rest" << 14 << "";
    // What reads is kept, what does not is said.
    QTest::newRow("a version, then a time that is none")
        << QByteArray("<14>1 2026-13-40T10:00:00Z host app - - - m") << "rfc5424|host|app||||m"
        << 14 << "the time stamp is not an RFC 3339 time";
    QTest::newRow("30 February") << QByteArray("<14>1 2026-02-30T10:00:00Z h a - - - m")
                                 << "rfc5424|h|a||||m" << 14 << "RFC 3339";
    QTest::newRow("hour 24") << QByteArray("<14>1 2026-12-08T24:00:00Z h a - - - m")
                             << "rfc5424|h|a||||m" << 14 << "RFC 3339";
    QTest::newRow("a host of 256 characters")
        << QByteArray("<14>1 - ") + QByteArray(256, 'h') + " a - - - m"
        << "rfc5424|" + QString(256, u'h') + "|a||||m" << 14
        << "the host name is longer than 255 characters";
    QTest::newRow("a bad time and a long app name: both said")
        << QByteArray("<14>1 2026-02-30T10:00:00Z h ") + QByteArray(49, 'a') + " - - - m"
        << "rfc5424|h|" + QString(49, u'a') + "||||m" << 14
        << "RFC 3339 time; the application name is longer than 48 characters";
    QTest::newRow("an unprintable field: nothing after it")
        << QByteArray("<14>1 - h a\x01 - - - m") << "rfc5424|h|||||" << 14
        << "the application name is missing or not printable";
    QTest::newRow("a truncated element") << QByteArray("<14>1 - host app - - [id a=\"open")
                                         << "rfc5424|host|app|||id:|" << 14 << "no closing quote";
    QTest::newRow("an element without its ]") << QByteArray("<14>1 - host app - - [id a=\"1\"")
                                              << "rfc5424|host|app|||id:a=1|" << 14 << "closing ]";
    QTest::newRow("other escapes are kept") << QByteArray("<14>1 - h a - - [id p=\"a\\nb\"] m")
                                            << "rfc5424|h|a|||id:p=a\\nb|m" << 14 << "";
    QTest::newRow("no space before the message")
        << QByteArray("<14>1 - h a - - [id]m") << "rfc5424|h|a|||id:|" << 14 << "no space";
    QTest::newRow("only the header")
        << QByteArray("<14>1 - - - - - -") << "rfc5424||||||" << 14 << "";
    QTest::newRow("an offset past 23:59")
        << QByteArray("<14>1 2026-12-08T10:00:00+24:00 h a - - - m") << "rfc5424|h|a||||m" << 14
        << "RFC 3339";
    QTest::newRow("an empty message after its tag")
        << QByteArray("<14>Dec  8 10:00:00 h a:") << "rfc3164|h|a||||" << 14 << "";
    // Values are UTF-8 as the sender wrote it, faults and all; the escapes undone first.
    QTest::newRow("values in UTF-8, some of it broken")
        << QByteArray(
               "<14>1 - h a - - [id p=\"caf\xC3\xA9\" q=\"\xFF\\\"\xC3\"] \xEF\xBB\xBF\xE2\x82")
        << QString::fromUtf8("rfc5424|h|a|||id:p=café,q=\uFFFD\"\uFFFD|\uFFFD\uFFFD") << 14 << "";
    QTest::newRow("an octet count that is not the length")
        << QByteArray("7 <14>1 - h a - - - m") << "rfc5424|h|a||||m" << 14
        << "the octet count says 7 bytes, and 19 follow";
    QTest::newRow("the year 0000, which RFC 3339 allows")
        << QByteArray("<14>1 0000-02-29T00:00:00Z h a - - - m") << "rfc5424|h|a||||m" << 14 << "";
    // A message is UTF-8 where its bytes are, as most senders write it without a BOM; otherwise
    // one character per byte.
    QTest::newRow("a message in UTF-8 without a BOM")
        << QByteArray("<14>Dec  8 10:00:00 h a: \xC3\xBCn\xC3\xAF"
                      "c\xC3\xB6"
                      "d\xC3\xA9")
        << QString::fromUtf8("rfc3164|h|a||||ünïcödé") << 14 << "";
    QTest::newRow("a message not in UTF-8")
        << QByteArray("<14>Dec  8 10:00:00 h a: \xFCn\xEF"
                      "c\xC3")
        << QString::fromUtf8("rfc3164|h|a||||ünïcÃ") << 14 << "";
}

void tst_LogModel::syslogThatDoesNotRead()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, fields);
    QFETCH(int, priority);
    QFETCH(QString, problem);
    const SyslogMessage message = SyslogMessage::decode(payload, 0);
    QCOMPARE(fieldsOf(message), fields);
    QCOMPARE(message.fields.priority.value_or(SyslogPriority { -1 }).value, priority);
    if (problem.isEmpty())
        QVERIFY2(message.fields.problem.isEmpty(), qPrintable(message.fields.problem));
    else
        QVERIFY2(message.fields.problem.contains(problem), qPrintable(message.fields.problem));
    const QString disagreement = syslogJsonDisagreement(jsonLineOf(payload), message);
    QVERIFY2(disagreement.isEmpty(), qPrintable(disagreement));
}

void tst_LogModel::timeGrammars_data()
{
    // In UTC, so that a time without a zone reads the same on any machine.
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("arrival"); // for RFC 3164's times; none: RFC 3339's
    QTest::addColumn<QString>("time"); // as RFC 3339; empty: not a time
    QTest::addColumn<QByteArray>("rest"); // what follows an RFC 3164 time
    const QString rfc3339 = QString(); // no arrival: the time is RFC 3339's
    QTest::newRow("3339, microseconds") << QByteArray("2026-12-08T19:45:39.267317+01:00") << rfc3339
                                        << "2026-12-08T19:45:39.267317+01:00" << QByteArray();
    QTest::newRow("3339, Z") << QByteArray("2003-10-11T22:14:15.003Z") << rfc3339
                             << "2003-10-11T22:14:15.003+00:00" << QByteArray();
    QTest::newRow("3339, year 0, a leap year") << QByteArray("0000-02-29T00:00:00Z") << rfc3339
                                               << "0000-02-29T00:00:00.000+00:00" << QByteArray();
    QTest::newRow("3339, 29 February of no leap year")
        << QByteArray("2026-02-29T00:00:00Z") << rfc3339 << "" << QByteArray();
    QTest::newRow("3339, hour 24")
        << QByteArray("2026-12-08T24:00:00Z") << rfc3339 << "" << QByteArray();
    QTest::newRow("3339, an offset of 24 hours")
        << QByteArray("2026-12-08T10:00:00+24:00") << rfc3339 << "" << QByteArray();
    QTest::newRow("3339, something after it")
        << QByteArray("2026-12-08T10:00:00Z x") << rfc3339 << "" << QByteArray();
    QTest::newRow("3164") << QByteArray("Dec  8 10:00:00 h") << "2026-12-08T12:00:00Z"
                          << "2026-12-08T10:00:00.000+00:00" << QByteArray(" h");
    QTest::newRow("3164, last year's December in January")
        << QByteArray("Dec 31 23:59:50 h") << "2027-01-01T00:00:05Z"
        << "2026-12-31T23:59:50.000+00:00" << QByteArray(" h");
    QTest::newRow("3164 with a year and a fraction")
        << QByteArray("Mar 15 2025 10:41:08.453: h") << "2026-12-08T12:00:00Z"
        << "2025-03-15T10:41:08.453+00:00" << QByteArray(": h");
    QTest::newRow("3164, 29 February far from a leap year")
        << QByteArray("Feb 29 10:00:00 h") << "2026-06-01T00:00:00Z"
        << "" << QByteArray("Feb 29 10:00:00 h");
    QTest::newRow("3164, hour 25") << QByteArray("Dec  8 25:00:00 h") << "2026-12-08T12:00:00Z"
                                   << "" << QByteArray("Dec  8 25:00:00 h");
}

void tst_LogModel::timeGrammars()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, arrival);
    QFETCH(QString, time);
    QFETCH(QByteArray, rest);
    const InZone utc("UTC0");
    std::optional<SyslogFields::Time> read;
    ByteReader reader(text);
    if (arrival.isEmpty()) {
        read = rfc3339Time(text);
    } else {
        const qint64 arrivalMs = QDateTime::fromString(arrival, Qt::ISODate).toMSecsSinceEpoch();
        read = bsdTime(reader, arrivalMs * 1'000'000);
        QCOMPARE(reader.rest(), rest);
    }
    QCOMPARE(read ? rfc3339Text(read->utcMs, read->offsetSeconds, read->microseconds) : QString(),
             time);
}

void tst_LogModel::timeWithoutZoneTakesTheOffsetOfItsOwnTime_data()
{
    // In central Europe's zone, summer time from 01:00 UTC on the last Sunday of March to 01:00
    // UTC on the last Sunday of October.
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("arrival"); // UTC
    QTest::addColumn<QString>("timestamp");
    QTest::newRow("winter time, arriving in summer time")
        << QByteArray("<14>Mar 29 01:30:00 h a: m") << "2026-03-29T01:30:00Z"
        << "2026-03-29T01:30:00.000+01:00";
    QTest::newRow("summer time, arriving in winter time")
        << QByteArray("<14>Oct 25 01:30:00 h a: m") << "2026-10-25T02:00:00Z"
        << "2026-10-25T01:30:00.000+02:00";
    QTest::newRow("the same offset")
        << QByteArray("<14>Nov 20 10:00:00 h a: m") << "2026-11-20T09:00:05Z"
        << "2026-11-20T10:00:00.000+01:00";
}

void tst_LogModel::timeWithoutZoneTakesTheOffsetOfItsOwnTime()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, arrival);
    QFETCH(QString, timestamp);
    const InZone centralEurope("CET-1CEST,M3.5.0,M10.5.0/3");
    const qint64 arrivalNs =
        QDateTime::fromString(arrival, Qt::ISODate).toMSecsSinceEpoch() * 1'000'000;
    const SyslogFields fields = SyslogFields::read(payload, arrivalNs);
    QVERIFY(fields.timestamp);
    QCOMPARE(rfc3339Text(fields.timestamp->utcMs, fields.timestamp->offsetSeconds), timestamp);
}

void tst_LogModel::tooltipCutsTheMessageShort_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("shown"); // the tooltip's end
    QTest::newRow("one line") << QByteArray(80, 'a') << "Message: " + QString(80, u'a');
    QTest::newRow("a word over the line") << QByteArray(80, 'a') + " b"
                                          << "Message: " + QString(80, u'a') + "\nb";
    QTest::newRow("line ends and a tab as spaces") << QByteArray("x\r\ny\tz\0") << "Message: x y z";
    // Words of nine letters: eight of them and their spaces make a line of 79 characters.
    const QString line = QString("abcdefghi ").repeated(8).chopped(1);
    QTest::newRow("three lines, then cut short")
        << QByteArray("abcdefghi ").repeated(100)
        << "Message: " + line + "\n" + line + "\n" + line + QChar(0x2026);
}

void tst_LogModel::tooltipCutsTheMessageShort()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, shown);
    const QByteArray payload = "<14>Dec  8 10:00:00 h a: " + message;
    const SyslogMessage decoded = SyslogMessage::decode(payload, 0);
    ArrivalEntry entry;
    entry.bytes = qint32(payload.size());
    const QString tip = arrivalDetails(entry, &decoded);
    QVERIFY2(tip.endsWith("\n" + shown), qPrintable(tip));
}

void tst_LogModel::tooltipTellsOnlyWhatIsKnown_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<QString>("tip"); // after the line of its arrival time

    QTest::newRow("plain text") << QByteArray("hello") << 0 << "From 192.0.2.7:514\n5 bytes";
    QTest::newRow("one byte, one dropped")
        << QByteArray("x") << 1
        << "From 192.0.2.7:514\n1 byte\n1 datagram dropped by the system before this one";
    QTest::newRow("a lone priority")
        << QByteArray("<14>") << 0
        << "From 192.0.2.7:514\n4 bytes\nSyslog facility user (1), severity informational (6)";
    QTest::newRow("a program without its process, a blank message")
        << QByteArray("<14>Dec  8 10:00:00 h a:   ") << 0
        << "From 192.0.2.7:514\n27 bytes\nSyslog facility user (1), severity informational "
           "(6)\nHost h\n"
           "Program a";
    QTest::newRow("all of it")
        << QByteArray("<11>1 - h a 42 - - m") << 3
        << "From 192.0.2.7:514\n20 bytes\nSyslog facility user (1), severity error (3)\nHost h\n"
           "Program a, process 42\n3 datagrams dropped by the system before this one\nMessage: m";
}

void tst_LogModel::tooltipTellsOnlyWhatIsKnown()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, dropped);
    QFETCH(QString, tip);
    ArrivalRecord record;
    record.append(QString::fromLatin1(payload), arrivalFrom("192.0.2.7", 514, 1, dropped));
    const SyslogMessage message = SyslogMessage::decode(payload, 1);
    const QString shown = arrivalDetails(*record.at(0), &message);
    QVERIFY2(shown.startsWith("Received "), qPrintable(shown));
    QCOMPARE(shown.section(u'\n', 1), tip);
}

void tst_LogModel::hexDumpShowsEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("dump");
    QTest::newRow("nothing") << QByteArray() << "";
    // The bytes hexdump -C does not print as a dot, the Latin-1 letters as the log box shows them.
    QTest::newRow("control bytes as dots")
        << QByteArray("<13>hi\r\n\0\x1f\x7f ~", 13)
        << "00000000  3c 31 33 3e 68 69 0d 0a  00 1f 7f 20 7e           <13>hi..... ~\n";
    QTest::newRow("a second row, and bytes above 127")
        << QByteArray("0123456789abcdef\x80\x9f\xa0\xa1\xad\xe9\xff")
        << QString("00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  0123456789abcdef\n"
                   "00000010  80 9f a0 a1 ad e9 ff                              ...")
            + QChar(0xA1) + "." + QChar(0xE9) + QChar(0xFF) + "\n";
}

void tst_LogModel::hexDumpShowsEveryByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, dump);
    QCOMPARE(hexDump(bytes), dump);
}

void tst_LogModel::senderClockAgainstArrival_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<qint64>("arrivalNs");
    QTest::addColumn<QString>("said");

    const qint64 arrival = localNs(2026, 12, 8, 19, 45, 40);
    QTest::newRow("behind") << QByteArray("<14>Dec  8 19:42:28 h a: m") << arrival
                            << "sender's clock 3 min 12 s behind";
    QTest::newRow("ahead") << QByteArray("<14>Dec  8 21:45:50 h a: m") << arrival
                           << "sender's clock 2 h 10 s ahead";
    QTest::newRow("in step") << QByteArray("<14>Dec  8 19:45:40 h a: m") << arrival
                             << "sender's clock in step";
    // No year: the one nearest the arrival, last year's December for a January arrival.
    QTest::newRow("across the new year")
        << QByteArray("<14>Dec 31 23:59:50 h a: m") << localNs(2027, 1, 1, 0, 0, 5)
        << "sender's clock 15 s behind";
    QTest::newRow("into the new year")
        << QByteArray("<14>Jan  1 00:00:05 h a: m") << localNs(2026, 12, 31, 23, 59, 50)
        << "sender's clock 15 s ahead";
    // 182 days ahead in the arrival's year is nearer than 183 behind in the year before; 183
    // ahead is not.
    QTest::newRow("half a year ahead")
        << QByteArray("<14>Jul  2 00:00:05 h a: m") << localNs(2027, 1, 1, 0, 0, 5)
        << "sender's clock 182 d ahead";
    QTest::newRow("over half a year ahead: the year before")
        << QByteArray("<14>Jul  3 00:00:05 h a: m") << localNs(2027, 1, 1, 0, 0, 5)
        << "sender's clock 182 d behind";
    QTest::newRow("a leap day: the next year that has one")
        << QByteArray("<14>Feb 29 12:00:00 h a: m") << localNs(2027, 3, 1, 12, 0, 0)
        << "sender's clock 365 d ahead";
    QTest::newRow("an offset")
        << QByteArray("<14>1 2026-12-08T12:00:00Z h a - - - m")
        << qint64(QDateTime(QDate(2026, 12, 8), QTime(12, 0, 3), Qt::UTC).toMSecsSinceEpoch()
                  * 1'000'000)
        << "sender's clock 3 s behind";
    QTest::newRow("no time") << QByteArray("<14>1 - h a - - - m") << arrival << "";
}

void tst_LogModel::senderClockAgainstArrival()
{
    QFETCH(QByteArray, payload);
    QFETCH(qint64, arrivalNs);
    QFETCH(QString, said);
    QCOMPARE(clockDifferenceText(SyslogMessage::decode(payload, arrivalNs), arrivalNs), said);
}

QTEST_MAIN(tst_LogModel)
#include "tst_logmodel.moc"
