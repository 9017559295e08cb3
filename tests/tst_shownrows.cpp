// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The rows a filter shows, found on worker threads over the whole record, against a plain filter
// written out here: the same rows, gaps included, at sizes around the chunks and the parts the
// threads share out, with datagrams arriving during the scan and a scan stopped part way.

#include "LogHub.h"
#include "RuleSearch.h"
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
    void searchFindsTheNextAsReference_data();
    void searchFindsTheNextAsReference();
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
    QTest::newRow("every datagram: rows past a block of the index")
        << "!no-such-word" << 4 * Part + 1 << Chunk << qint64(0);
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
    // Where a find lands: the first row of a datagram, or after it.
    for (qint64 datagram = 0; datagram <= before + during; datagram += 97) {
        const auto first =
            std::find_if(expected.begin(), expected.end(),
                         [&](const RowIndex::Row &row) { return row.datagram >= datagram; });
        QCOMPARE(rows.index().rowOf(datagram), qint64(first - expected.begin()));
    }
}

void tst_ShownRows::stoppedPartWayKeepsWhatItFound()
{
    QTextDocument document;
    LogHub hub(&document);
    receive(hub, 0, 8 * Part, 101);
    ShownRows rows(hub);
    const Rule rule = Rule::parse(u"nginx");
    rows.setRule(rule);
    // Stopped once some rows came, where the machine is quick enough for that to be part way.
    QTRY_VERIFY_WITH_TIMEOUT(rows.scanned() > 0 || !rows.isScanning(), PatienceMs);
    rows.cancelScan();
    QTRY_VERIFY_WITH_TIMEOUT(!rows.isScanning(), PatienceMs);
    QVERIFY(rows.wasCancelled());
    const std::vector<RowIndex::Row> found = shown(rows);
    const std::vector<RowIndex::Row> all = reference(hub, rule);
    QVERIFY(found.size() <= all.size());
    QVERIFY(std::equal(found.begin(), found.end(), all.begin()));
    // Resumed, it finds the rest, each once.
    rows.resumeScan();
    QVERIFY(!rows.wasCancelled());
    QTRY_VERIFY_WITH_TIMEOUT(!rows.isScanning() && rows.scanned() == 8 * Part, PatienceMs);
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

void tst_ShownRows::searchFindsTheNextAsReference_data()
{
    QTest::addColumn<qint64>("from");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<qint64>("every"); // the datagrams that pass: every so many, from 1
    QTest::newRow("the next, a chunk ahead") << qint64(10) << false << Chunk + 3;
    QTest::newRow("round the end to the first") << 3 * Chunk << false << 2 * Chunk;
    QTest::newRow("from before the first") << qint64(-1) << false << Chunk;
    QTest::newRow("back, a chunk behind") << 2 * Chunk << true << Chunk - 1;
    QTest::newRow("back round the start to the last") << qint64(5) << true << Chunk + 1;
    QTest::newRow("back from past the end") << 3 * Chunk + 10 << true << qint64(7);
    QTest::newRow("one, behind: round the end to it") << Chunk + 1 << false << 100 * Chunk;
    QTest::newRow("only itself: round to it") << qint64(1) << false << 100 * Chunk;
    QTest::newRow("only itself, backward") << qint64(1) << true << 100 * Chunk;
    QTest::newRow("none") << qint64(0) << false << qint64(0);
}

// The next (or previous) datagram that passes, going round the end, as a loop over the record
// finds it; or none, after reading every datagram.
void tst_ShownRows::searchFindsTheNextAsReference()
{
    QFETCH(qint64, from);
    QFETCH(bool, backward);
    QFETCH(qint64, every);
    QTextDocument document;
    LogHub hub(&document);
    const qint64 total = 3 * Chunk + 10;
    receive(hub, 0, total, 0);
    const auto passes = [every](qint64 index) { return every > 0 && (index - 1) % every == 0; };
    std::optional<qint64> expected;
    bool expectedWrap = false;
    for (qint64 step = 1; step <= total && !expected; ++step) {
        const qint64 raw = backward ? from - step : from + step;
        const qint64 index = ((raw % total) + total) % total;
        if (passes(index)) {
            expected = index;
            expectedWrap = backward ? raw < 0 : raw >= total;
        }
    }
    RuleSearch search;
    std::optional<std::pair<qint64, bool>> found;
    qint64 searched = -1;
    connect(&search, &RuleSearch::found, this, [&](qint64 datagram, bool wrapped) {
        found = { datagram, wrapped };
    });
    connect(&search, &RuleSearch::notFound, this, [&](qint64 all) { searched = all; });
    const auto test = [&](const ArrivalEntry &entry, QByteArrayView, const SyslogFields *) {
        return passes(entry.arrival.timeNs / 1'000'000);
    };
    search.start(hub.arrivals().snapshot(), from, backward, test, false);
    QTRY_VERIFY_WITH_TIMEOUT(found || searched >= 0, PatienceMs);
    if (!expected) {
        QCOMPARE(searched, total);
        return;
    }
    QVERIFY(found);
    QCOMPARE(found->first, *expected);
    QCOMPARE(found->second, expectedWrap);
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
