// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The rows a filter shows, found on worker threads over the whole record, against a plain filter
// written out here: the same rows, gaps included, at sizes around the chunks and the parts the
// threads share out, with datagrams arriving during the scan and a scan stopped part way.

#include "LogHub.h"
#include "SenderCounts.h"
#include "ShownRows.h"
#include "SyslogFields.h"

#include "LogSamples.h"

#include <QTest>
#include <QTextDocument>

#include <map>

namespace {

// A chunk of the record, and a part a thread scans at a time.
constexpr qint64 Chunk = ArrivalChunk::MostEntries;
constexpr qint64 Part = 16 * Chunk;
// Long enough for any machine: the test waits for an answer, never for a speed.
constexpr int PatienceMs = 120'000;

// Every 'dropEvery'th datagram came after a gap.
void receive(LogHub &hub, qint64 from, qint64 to, qint64 dropEvery)
{
    for (qint64 i = from; i < to; ++i) {
        const quint32 dropped = dropEvery > 0 && i % dropEvery == 0 ? quint32(i % 7 + 1) : 0;
        hub.append(syslogLine(quint32(i)),
                   arrivalFrom(i % 3 ? "192.0.2.7" : "2001:db8::1", quint16(514 + i % 2),
                               i * 1'000'000, dropped));
    }
}

// The rows a view shows, as the rule reads: a gap before each datagram after one, whatever the
// rule, and each datagram the rule picks.
std::vector<RowIndex::Row> reference(const LogHub &hub, const Rule &rule)
{
    std::vector<RowIndex::Row> rows;
    const ArrivalRecord &record = hub.arrivals();
    for (qint64 i = 0; i < record.size(); ++i) {
        const ArrivalEntry entry = *record.at(i);
        const QByteArray payload = record.payload(i);
        const SyslogFields fields = SyslogFields::read(payload, entry.arrival.timeNs);
        if (entry.arrival.droppedBefore > 0)
            rows.push_back({ i, true });
        if (rule.matches(entry, payload, &fields))
            rows.push_back({ i, false });
    }
    return rows;
}

// What a timeline of those rows counts, second by second: each datagram the rule picks by its
// severity, and every drop.
std::map<qint64, TimeCounts::Counts> referenceCounts(const LogHub &hub, const Rule &rule)
{
    std::map<qint64, TimeCounts::Counts> seconds;
    const ArrivalRecord &record = hub.arrivals();
    for (qint64 i = 0; i < record.size(); ++i) {
        const ArrivalEntry entry = *record.at(i);
        const QByteArray payload = record.payload(i);
        const SyslogFields fields = SyslogFields::read(payload, entry.arrival.timeNs);
        TimeCounts::Counts &counts = seconds[entry.arrival.timeNs / 1'000'000'000];
        counts[TimeCounts::Dropped] += entry.arrival.droppedBefore;
        if (!rule.matches(entry, payload, &fields))
            continue;
        const int severity = entry.priority ? entry.priority->severity() : -1;
        ++counts[severity < 0        ? TimeCounts::NoPriority
                     : severity <= 3 ? TimeCounts::Problems
                     : severity == 4 ? TimeCounts::Warnings
                                     : TimeCounts::Others];
    }
    return seconds;
}

std::map<qint64, TimeCounts::Counts> counted(const TimeCounts &counts)
{
    std::map<qint64, TimeCounts::Counts> seconds;
    for (qint64 second = counts.firstSecond(); !counts.isEmpty() && second <= counts.lastSecond();
         ++second)
        seconds[second] = counts.sum(second, second + 1);
    return seconds;
}

std::vector<RowIndex::Row> shown(const ShownRows &rows)
{
    std::vector<RowIndex::Row> all;
    for (qint64 row = 0; row < rows.index().count(); ++row)
        all.push_back(rows.index().at(row));
    return all;
}

} // namespace

class tst_ShownRows : public QObject
{
    Q_OBJECT

private slots:
    void sameRowsAsReference_data();
    void sameRowsAsReference();
    void stoppedPartWayKeepsWhatItFound();
    void clearedShowsNothing();
    void sendersCountedAsReference();
    void sendersPastTheMostCountedTogether();
};

void tst_ShownRows::sameRowsAsReference_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<qint64>("before"); // arrivals before the rule is set
    QTest::addColumn<qint64>("during"); // and while it scans
    QTest::addColumn<qint64>("dropEvery");

    QTest::newRow("no rule: every datagram and gap") << "" << Chunk + 1 << qint64(5) << qint64(97);
    QTest::newRow("nothing yet") << "sshd" << qint64(0) << qint64(3) << qint64(0);
    QTest::newRow("one") << "sshd" << qint64(1) << qint64(0) << qint64(1);
    QTest::newRow("a chunk exactly") << "kernel" << Chunk << qint64(0) << qint64(0);
    QTest::newRow("a chunk and one") << "!kernel" << Chunk + 1 << qint64(1) << qint64(10);
    QTest::newRow("parts for both threads, a word")
        << "CRON" << 3 * Part + 7 << Chunk << qint64(1000);
    QTest::newRow("fields and a negation")
        << "host:fw-dmz !app:sshd" << 2 * Part + 1 << qint64(100) << qint64(333);
    QTest::newRow("a sender and a severity")
        << "sender:[2001:db8::1]:515 sev:warning" << Part + Chunk << qint64(0) << qint64(0);
    QTest::newRow("an expression") << "/port 1[0-9]{3} /" << Part - 1 << Part << qint64(50);
    QTest::newRow("nothing matches: only the gaps")
        << "no-such-word" << Part + 3 << qint64(0) << qint64(17);
}

void tst_ShownRows::sameRowsAsReference()
{
    QFETCH(QString, rule);
    QFETCH(qint64, before);
    QFETCH(qint64, during);
    QFETCH(qint64, dropEvery);
    QTextDocument document;
    LogHub hub(&document);
    receive(hub, 0, before, dropEvery);
    ShownRows rows(hub);
    const Rule parsed = Rule::parse(rule);
    QVERIFY2(parsed.isValid(), qPrintable(parsed.error()));
    rows.setRule(parsed);
    receive(hub, before, before + during, dropEvery);
    const std::vector<RowIndex::Row> expected = reference(hub, parsed);
    QTRY_VERIFY_WITH_TIMEOUT(!rows.isScanning() && rows.scanned() == before + during, PatienceMs);
    QVERIFY(rows.scanError().isEmpty());
    QCOMPARE(shown(rows), expected);
    QCOMPARE(counted(rows.counts()), referenceCounts(hub, parsed));
}

void tst_ShownRows::stoppedPartWayKeepsWhatItFound()
{
    QTextDocument document;
    LogHub hub(&document);
    receive(hub, 0, 4 * Part, 101);
    ShownRows rows(hub);
    const Rule rule = Rule::parse(u"nginx");
    rows.setRule(rule);
    rows.cancelScan();
    QTRY_VERIFY_WITH_TIMEOUT(!rows.isScanning(), PatienceMs);
    QVERIFY(rows.wasCancelled());
    const std::vector<RowIndex::Row> found = shown(rows);
    const std::vector<RowIndex::Row> all = reference(hub, rule);
    QVERIFY(found.size() <= all.size());
    QVERIFY(std::equal(found.begin(), found.end(), all.begin()));
    // Set again, it finds them all.
    rows.setRule(rule);
    QTRY_VERIFY_WITH_TIMEOUT(!rows.isScanning(), PatienceMs);
    QCOMPARE(shown(rows), all);
}

void tst_ShownRows::clearedShowsNothing()
{
    QTextDocument document;
    LogHub hub(&document);
    receive(hub, 0, Part, 3);
    ShownRows rows(hub);
    rows.setRule(Rule::parse(u"sshd"));
    hub.clear();
    QCOMPARE(rows.index().count(), 0);
    receive(hub, 0, 10, 3);
    const std::vector<RowIndex::Row> expected = reference(hub, rows.rule());
    QTRY_VERIFY_WITH_TIMEOUT(!rows.isScanning() && rows.scanned() == 10, PatienceMs);
    QCOMPARE(shown(rows), expected);
}

// Per sender and per host, against a count of the record: datagrams, bytes, the last time and
// the most urgent severity, and the rate over the last seconds.
void tst_ShownRows::sendersCountedAsReference()
{
    QTextDocument document;
    LogHub hub(&document);
    receive(hub, 0, Chunk + 77, 0);
    struct Expected
    {
        qint64 datagrams = 0;
        qint64 bytes = 0;
        qint64 lastNs = 0;
        int mostUrgent = -1;
    };
    QHash<QString, Expected> expected;
    const ArrivalRecord &record = hub.arrivals();
    for (qint64 i = 0; i < record.size(); ++i) {
        const ArrivalEntry entry = *record.at(i);
        const QByteArray payload = record.payload(i);
        const SyslogFields fields = SyslogFields::read(payload, entry.arrival.timeNs);
        for (const QString &key : { QStringLiteral("s:") + entry.arrival.senderText(),
                                    QStringLiteral("h:") + QString::fromLatin1(fields.hostname) }) {
            Expected &count = expected[key];
            ++count.datagrams;
            count.bytes += payload.size();
            count.lastNs = std::max(count.lastNs, entry.arrival.timeNs);
            if (entry.priority
                && (count.mostUrgent < 0 || entry.priority->severity() < count.mostUrgent))
                count.mostUrgent = entry.priority->severity();
        }
    }
    const std::vector<SenderCounts::Row> rows = hub.senderCounts().rows();
    QCOMPARE(qsizetype(rows.size()), expected.size());
    const qint64 lastSecond = (record.size() - 1) * 1'000'000 / 1'000'000'000;
    for (const SenderCounts::Row &row : rows) {
        const QString key = row.isHost ? QStringLiteral("h:") + QString::fromLatin1(row.host)
                                       : QStringLiteral("s:") + row.sender.senderText();
        QVERIFY2(expected.contains(key), qPrintable(key));
        const Expected &want = expected[key];
        QCOMPARE(row.count.datagrams, want.datagrams);
        QCOMPARE(row.count.bytes, want.bytes);
        QCOMPARE(row.count.lastNs, want.lastNs);
        QCOMPARE(row.count.mostUrgent, want.mostUrgent);
        QVERIFY(!row.others);
        // One datagram a millisecond, shared out: over the last seconds, each its share a second.
        const double rate = row.count.rate(lastSecond);
        QVERIFY2(rate > 0 && rate <= 1000, qPrintable(QString::number(rate)));
        QCOMPARE(row.count.rate(lastSecond + SenderCounts::RateSeconds), 0.0);
    }
}

void tst_ShownRows::sendersPastTheMostCountedTogether()
{
    QTextDocument document;
    LogHub hub(&document);
    const int past = 5;
    for (int i = 0; i < SenderCounts::MostSenders + past; ++i) {
        hub.append(QStringLiteral("no header"),
                   arrivalFrom("192.0.2.7", quint16(1024 + i), qint64(i) * 1000));
    }
    const std::vector<SenderCounts::Row> rows = hub.senderCounts().rows();
    QCOMPARE(qsizetype(rows.size()), SenderCounts::MostSenders + 1);
    const auto others = std::find_if(rows.begin(), rows.end(),
                                     [](const SenderCounts::Row &row) { return row.others; });
    QVERIFY(others != rows.end());
    QCOMPARE(others->count.datagrams, past);
    QCOMPARE(hub.senderCounts().total(), SenderCounts::MostSenders + past);
}

QTEST_MAIN(tst_ShownRows)
#include "tst_shownrows.moc"
