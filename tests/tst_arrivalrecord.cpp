// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The record of arrivals over a long run: snapshots read on other threads while datagrams arrive,
// chunks past the memory budget moved to a file without a name and read back byte for byte, a
// disk that refuses or damages them, and every sender counted against the budget.

#include "ArrivalRecord.h"
#include "BackgroundSave.h"
#include "LogModel.h"

#include "LogSamples.h"
#include "SaveNow.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>
#include <semaphore>
#include <thread>

#include <climits>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The chunk being filled holds up to this much: its payloads, their room grown. The budgets here
// are a few times that, so that most of a small record goes to the disk.
constexpr qint64 OpenChunk = 2 * qint64(ArrivalChunk::MostPayloadBytes) + qint64(64) * 1024;
constexpr qint64 Budget = 4 * OpenChunk;

// Datagram 'i': realistic syslog that tells its index, its time is its index, and each datagram of
// a chunk comes from an address of its own, as a flood with forged sources does; the addresses
// come round again in later chunks.
QString payloadOf(qint64 i)
{
    // A thousand lines made once: making a realistic line costs more than keeping it.
    static const QStringList lines = [] {
        QStringList made;
        for (quint32 line = 0; line < 1000; ++line)
            made << syslogLine(line) + QStringLiteral(" #");
        return made;
    }();
    return lines.at(i % lines.size()) + QString::number(i);
}

Arrival arrivalOf(qint64 i)
{
    Arrival arrival;
    arrival.timeNs = i;
    arrival.ipv4 = false;
    arrival.address = { 0x20, 0x01, 0x0d, 0xb8 };
    const qint64 sender = i % 5000;
    std::memcpy(arrival.address.data() + 8, &sender, sizeof(sender));
    arrival.port = quint16(i);
    arrival.droppedBefore = i % 1000 == 7 ? quint32(i) : 0;
    return arrival;
}

// Whether 'entry' and 'payload' are datagram 'i' as it was appended.
bool isDatagram(const ArrivalEntry &entry, QByteArrayView payload, qint64 i)
{
    const Arrival expected = arrivalOf(i);
    return entry.arrival.timeNs == i && entry.arrival.address == expected.address
        && entry.arrival.port == expected.port
        && entry.arrival.droppedBefore == expected.droppedBefore
        && payload == payloadOf(i).toLatin1() && entry.bytes == payload.size();
}

// Reads 'snapshot' from datagram 'from' on: the datagrams kept must be exactly those appended, in
// order, and with those not kept they must be all of them. Returns what is wrong, or nothing.
QString checkSnapshot(const ArrivalSnapshot &snapshot, qint64 from = 0)
{
    qint64 next = from;
    qint64 read = 0;
    QString wrong;
    QString error;
    const ArrivalSnapshot::Read outcome = snapshot.forEach(
        from, snapshot.size(),
        [&](const ArrivalEntry &entry, QByteArrayView payload) {
            // Those not kept are passed over, a chunk at a time.
            next = std::max(next, entry.arrival.timeNs);
            if (!isDatagram(entry, payload, next))
                wrong = QStringLiteral("datagram %1 reads back wrong").arg(next);
            ++next;
            ++read;
            return wrong.isEmpty();
        },
        &error);
    if (outcome != ArrivalSnapshot::Read::Done)
        return wrong.isEmpty() ? error : wrong;
    const qint64 notKept = snapshot.notKeptWithin(from, snapshot.size());
    if (read + notKept != snapshot.size() - from)
        return QStringLiteral("%1 read and %2 not kept of %3")
            .arg(read)
            .arg(notKept)
            .arg(snapshot.size() - from);
    return {};
}

// Appends datagrams from 'from' up to 'to', waiting after each chunk's worth for the spill to
// bring memory back within the budget, as it does when the disk keeps up: so that none is left
// unkept however slow this machine is.
void appendKeepingUp(ArrivalRecord &record, qint64 from, qint64 to, qint64 budget)
{
    for (qint64 i = from; i < to; ++i) {
        record.append(payloadOf(i), arrivalOf(i));
        if (i % ArrivalChunk::MostEntries == 0)
            QTRY_VERIFY_WITH_TIMEOUT(record.heldBytes() <= budget, 60000);
    }
}

// The descriptors of this process open on a file in 'folder' that has no name there.
QStringList unnamedFilesIn(const QString &folder)
{
    QStringList files;
    const QString fds = QStringLiteral("/proc/self/fd/");
    for (const QString &fd :
         QDir(fds).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        char target[PATH_MAX] = {};
        if (readlink(QFile::encodeName(fds + fd).constData(), target, sizeof(target) - 1) < 0)
            continue;
        const QString path = QFile::decodeName(target);
        if (path.startsWith(folder + '/') && path.endsWith(QLatin1String(" (deleted)")))
            files << fds + fd;
    }
    return files;
}

} // namespace

class tst_ArrivalRecord : public QObject
{
    Q_OBJECT

private slots:
    void snapshotsReadWhileArrivalsGoOn();
    void chunksPastTheBudgetComeBackFromTheDisk();
    void aDiskThatRefusesIsToldAndCounted();
    void damageOnTheDiskIsReportedWhereRead();
    void logTextLacksOnlyWhatWasNotKept();
    void damagedChunkBytesNeverRead();
    void aSaveCancelledMidWayLeavesTheFileAsItWas();
};

void tst_ArrivalRecord::snapshotsReadWhileArrivalsGoOn()
{
    // The window's thread appends and hands snapshots to two readers, which read their newest
    // chunks while those move to the disk. A small budget, so that most of what they read moves.
    QTemporaryDir folder;
    constexpr qint64 Count = 100000;
    ArrivalRecord record;
    record.setStorage(Budget, folder.path());

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<ArrivalSnapshot> snapshots;
    bool done = false;
    QStringList wrong;
    const auto read = [&] {
        for (;;) {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return done || !snapshots.empty(); });
            if (snapshots.empty())
                return;
            const ArrivalSnapshot snapshot = std::move(snapshots.front());
            snapshots.pop_front();
            lock.unlock();
            const QString problem =
                checkSnapshot(snapshot, std::max<qint64>(0, snapshot.size() - 8000));
            lock.lock();
            if (!problem.isEmpty())
                wrong << problem;
        }
    };
    std::thread first(read);
    std::thread second(read);
    for (qint64 i = 0; i < Count; ++i) {
        record.append(payloadOf(i), arrivalOf(i));
        if (i % 1000 == 999 || i == 1) {
            const std::lock_guard lock(mutex);
            snapshots.push_back(record.snapshot());
            ready.notify_one();
        }
    }
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    ready.notify_all();
    first.join();
    second.join();
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
    QCOMPARE(checkSnapshot(record.snapshot()), QString());
    QVERIFY(record.spilledBytes() > 0);
}

void tst_ArrivalRecord::chunksPastTheBudgetComeBackFromTheDisk()
{
    // A new sender in every datagram: the senders count against the budget too, and move to the
    // disk with their datagrams.
    QTemporaryDir folder;
    constexpr qint64 Count = 150000;
    ArrivalRecord record;
    record.setStorage(Budget, folder.path());
    appendKeepingUp(record, 0, Count, Budget);
    QTRY_VERIFY_WITH_TIMEOUT(record.heldBytes() <= Budget, 60000);
    QCOMPARE(record.notKept(), 0);
    QCOMPARE_GT(record.spilledBytes(), Budget);

    // Read back on this thread, one by one and at the edges of chunks, and through a snapshot.
    for (const qint64 i : { qint64(0), qint64(1023), qint64(1024), Count / 2, Count - 1 }) {
        const std::optional<ArrivalEntry> entry = record.at(i);
        QVERIFY(entry);
        QVERIFY2(isDatagram(*entry, record.payload(i), i), qPrintable(QString::number(i)));
    }
    QCOMPARE(checkSnapshot(record.snapshot()), QString());
    QVERIFY(record.dropsWithin(7, 7));
    QVERIFY(!record.dropsWithin(8, 1006));

    // The file has no name: nothing of it is left in the folder, now or after the program.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), {});
    QCOMPARE(unnamedFilesIn(folder.path()).size(), 1);
    record.clear();
    QCOMPARE(unnamedFilesIn(folder.path()).size(), 0);
}

void tst_ArrivalRecord::aDiskThatRefusesIsToldAndCounted()
{
    // A full disk, as a process meets it: writes past a size fail.
    QTemporaryDir folder;
    ArrivalRecord record;
    record.setStorage(Budget, folder.path());
    rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, SIG_IGN);
    rlimit none = unlimited;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
    qint64 appended = 0;
    for (; record.notKept() == 0 && appended < 1000000; ++appended)
        record.append(payloadOf(appended), arrivalOf(appended));
    QVERIFY(record.notKept() > 0);
    for (const qint64 end = appended + 10000; appended < end; ++appended)
        record.append(payloadOf(appended), arrivalOf(appended));

    QCOMPARE(record.size(), appended);
    QCOMPARE_GE(record.notKept(), 10000 - ArrivalChunk::MostEntries);
    QTRY_VERIFY2_WITH_TIMEOUT(
        record.notKeptReason().startsWith("the disk refused more: File too large (in "),
        qPrintable(record.notKeptReason()), 60000);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    QCOMPARE_LE(record.heldBytes(), Budget + OpenChunk);
    const ArrivalSnapshot snapshot = record.snapshot();
    QCOMPARE(checkSnapshot(snapshot), QString());
    QTemporaryDir saves;
    const SaveResult saved = saveArrivalsNow(snapshot, saves.filePath("arrivals.csv"), false);
    QCOMPARE(saved.outcome, SaveResult::Outcome::Written);
    QFile csv(saves.filePath("arrivals.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count("\r\n") - 1, snapshot.size() - snapshot.notKept());
}

void tst_ArrivalRecord::damageOnTheDiskIsReportedWhereRead()
{
    QTemporaryDir folder;
    ArrivalRecord record;
    record.setStorage(Budget, folder.path());
    appendKeepingUp(record, 0, 100000, Budget);
    QTRY_VERIFY_WITH_TIMEOUT(record.heldBytes() <= Budget, 60000);
    const QStringList files = unnamedFilesIn(folder.path());
    QCOMPARE(files.size(), 1);
    const int fd = open(QFile::encodeName(files.first()).constData(), O_WRONLY);
    QVERIFY(fd >= 0);
    QCOMPARE(pwrite(fd, "damage", 6, 100), 6);
    close(fd);

    QString why;
    QCOMPARE(record.at(0, &why), std::nullopt);
    QVERIFY2(why.contains("fails its check"), qPrintable(why));
    QCOMPARE(record.payload(0), QByteArray());
    QVERIFY(record.at(99999)); // in memory still
    QTemporaryDir saves;
    const SaveResult saved = saveArrivalsNow(record.snapshot(), saves.filePath("a.jsonl"), true);
    QCOMPARE(saved.outcome, SaveResult::Outcome::Failed);
    QVERIFY2(saved.error.startsWith("datagrams 1 to 1024 of the record cannot be read back: "),
             qPrintable(saved.error));
    QVERIFY(!QFile::exists(saves.filePath("a.jsonl")));
}

void tst_ArrivalRecord::logTextLacksOnlyWhatWasNotKept()
{
    // The log text of lines that moved out of the box comes from the record: where the record
    // could not keep their datagrams, the save lacks those lines and says how many.
    QTemporaryDir folder;
    QTextDocument document;
    LogModel model(&document);
    model.arrivals().setStorage(Budget, folder.path());
    model.setDocumentLimit({ qsizetype(64) * 1024, 1024 });
    rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, SIG_IGN);
    rlimit none = unlimited;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
    // In batches, as the box takes them in.
    for (qint64 batch = 0; batch < 100000; batch += 1000) {
        QString text;
        std::vector<qint64> lines;
        for (qint64 i = batch; i < batch + 1000; ++i) {
            const QString payload = payloadOf(i);
            lines.push_back(model.arrivals().append(payload, arrivalOf(i)));
            text += payload + "\r\n";
        }
        model.appendLines(text, lines);
    }
    setrlimit(RLIMIT_FSIZE, &unlimited);
    QVERIFY(model.arrivals().notKept() > 0);

    const LogSnapshot log = model.snapshot();
    QTemporaryDir saves;
    QCOMPARE(saveLogNow(log, saves.filePath("log")).outcome, SaveResult::Outcome::Written);
    QFile saved(saves.filePath("log"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    QCOMPARE(text.count("\r\n") + log.notKept(), 100000);
    // What it holds is the log text but for whole datagrams not kept.
    QVERIFY(text.startsWith(payloadOf(0).toLatin1() + "\r\n"));
    QVERIFY(text.endsWith(payloadOf(99999).toLatin1() + "\r\n"));
}

void tst_ArrivalRecord::damagedChunkBytesNeverRead()
{
    // What a chunk is kept as, cut short at every length or with a count that does not fit: never
    // read as datagrams.
    ArrivalChunk chunk;
    for (qint64 i = 0; i < 3; ++i)
        chunk.append(payloadOf(i), arrivalOf(i));
    const QByteArray bytes = chunk.serialized();
    const std::optional<ArrivalChunk> whole = ArrivalChunk::deserialized(bytes);
    QVERIFY(whole && whole->size() == 3 && isDatagram(whole->entry(2), whole->payload(2), 2));
    for (qsizetype length = 0; length < bytes.size(); ++length)
        QVERIFY2(!ArrivalChunk::deserialized(bytes.first(length)),
                 qPrintable(QString::number(length)));
    QByteArray longer = bytes;
    longer.append('x');
    QVERIFY(!ArrivalChunk::deserialized(longer));
    for (const int field : { 0, 1, 2 }) { // the counts of datagrams, senders, payload bytes
        QByteArray wrong = bytes;
        const qsizetype at = qsizetype(field) * 4;
        wrong[at] = char(wrong[at] + 1);
        QVERIFY2(!ArrivalChunk::deserialized(wrong), qPrintable(QString::number(field)));
    }
}

void tst_ArrivalRecord::aSaveCancelledMidWayLeavesTheFileAsItWas()
{
    ArrivalRecord record;
    for (qint64 i = 0; i < 5000; ++i)
        record.append(payloadOf(i), arrivalOf(i));
    QTemporaryDir dir;
    const QString path = dir.filePath("arrivals.jsonl");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the file as it was");
    old.close();

    // The save writes half, then waits for the cancel before it goes on.
    const ArrivalSnapshot snapshot = record.snapshot();
    std::binary_semaphore halfway(0);
    std::binary_semaphore cancelled(0);
    auto *save = new BackgroundSave(
        QStringLiteral("arrivals"), snapshot.size(), [&](SaveProgress &progress) {
            return saveFile(
                path,
                [&](QIODevice &out, QString *readError) {
                    const bool half = snapshot.forEach(
                                          0, 2500,
                                          [&](const ArrivalEntry &, QByteArrayView payload) {
                                              return writeAll(out, payload) && progress.add(1);
                                          },
                                          readError)
                        == ArrivalSnapshot::Read::Done;
                    halfway.release();
                    cancelled.acquire();
                    return half && writeArrivalsJsonLines(snapshot, out, progress, readError);
                },
                progress);
        });
    QSignalSpy finished(save, &BackgroundSave::finished);
    save->start();
    QCOMPARE(BackgroundSave::running(), QList<BackgroundSave *> { save });
    halfway.acquire();
    QCOMPARE(save->percent(), 50);
    save->cancel();
    cancelled.release();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.at(0).at(0).value<SaveResult>().outcome, SaveResult::Outcome::Cancelled);
    QVERIFY(BackgroundSave::running().isEmpty());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("the file as it was"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList { "arrivals.jsonl" });
}

QTEST_GUILESS_MAIN(tst_ArrivalRecord)
#include "tst_arrivalrecord.moc"
