// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogSaver.h"

#include "ArrivalCsv.h"
#include "ArrivalJson.h"
#include "ArrivalText.h"
#include "BackgroundSave.h"
#include "LogModel.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include <memory>

namespace {

// Often enough to look alive, seldom enough to cost nothing.
constexpr int ProgressIntervalMs = 200;

QString codePointText(QChar c)
{
    constexpr int Digits = 4;
    return QString::number(c.unicode(), 16).toUpper().rightJustified(Digits, u'0');
}

QString failureText(const QString &path, const QString &error)
{
    return LogSaver::tr("Cannot save \"%1\": %2.").arg(path, error);
}

} // namespace

LogSaver::LogSaver(QWidget *box, const LogModel &model)
    : QObject(box)
    , m_box(box)
    , m_model(model)
{
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &LogSaver::showProgress);
}

QString LogSaver::askPath(const QString &title, const QString &pattern, const QString &filter,
                          QString *chosenFilter)
{
    const QString name = QDir::home().filePath(QDateTime::currentDateTime().toString(pattern));
    return QFileDialog::getSaveFileName(m_box, title, name, filter, chosenFilter);
}

bool LogSaver::refuseSecond()
{
    if (!isSaving())
        return false;
    emit said(tr("Still saving: wait for it, or press Escape to cancel it"), m_save->what());
    return true;
}

void LogSaver::saveLog()
{
    if (refuseSecond())
        return;
    const QString path = askPath(tr("Save Log"), QStringLiteral("'harkline-'yyyyMMdd-HHmmss'.log'"),
                                 tr("Logs (*.log *.txt);;All files (*)"));
    if (!path.isEmpty())
        saveLogTo(path);
}

bool LogSaver::saveLogTo(const QString &path)
{
    if (refuseSecond())
        return false;
    const auto log = std::make_shared<const LogSnapshot>(m_model.snapshot());
    // The log is saved one byte per character, as the datagrams carried it; a character the user
    // typed that no byte can hold is not changed silently.
    const std::optional<QChar> wide = log->firstWide();
    if (wide && !agreeToUtf8(*wide))
        return false;
    const bool utf8 = wide.has_value();
    const qint64 lines = log->lineCount();
    const qint64 missing = log->notKept();
    const Job job { tr("Save Log"), tr("Saving the log"), path, log->characterCount(),
                    [lines, missing, name = QFileInfo(path).fileName()] {
                        QString text =
                            tr("Saved %1 lines to %2").arg(countText(quint64(lines)), name);
                        if (missing > 0)
                            text += tr("; the lines of %1 datagrams not kept are missing")
                                        .arg(countText(quint64(missing)));
                        return text;
                    } };
    start(job, [log, path, utf8](SaveProgress &progress) {
        return saveFile(
            path,
            [&](QIODevice &out, QString *readError) {
                return writeLogText(*log, out, utf8, progress, readError);
            },
            progress);
    });
    return true;
}

bool LogSaver::agreeToUtf8(QChar wide)
{
    const QString character = wide.isSurrogate()
        ? tr("an emoji or other character")
        : QStringLiteral("\"%1\" (U+%2)").arg(wide).arg(codePointText(wide));
    QMessageBox question(QMessageBox::Question, tr("Save Log"),
                         tr("The log holds characters that no single byte can hold, such as %1. "
                            "Harkline saves the log one byte per character, as the datagrams "
                            "carried it, and cannot save those that way.")
                             .arg(character),
                         QMessageBox::Cancel, m_box);
    question.setInformativeText(tr("Save the whole log as UTF-8 instead?"));
    QPushButton *asUtf8 = question.addButton(tr("Save as UTF-8"), QMessageBox::AcceptRole);
    question.setDefaultButton(asUtf8);
    question.exec();
    return question.clickedButton() == asUtf8;
}

void LogSaver::saveArrivals(std::shared_ptr<const std::vector<qint64>> only)
{
    if (refuseSecond())
        return;
    const QString csv = tr("CSV files (*.csv)");
    const QString jsonLines = tr("JSON Lines (*.jsonl *.ndjson)");
    QString chosenFilter;
    const QString path =
        askPath(tr("Save Arrivals"), QStringLiteral("'harkline-arrivals-'yyyyMMdd-HHmmss'.csv'"),
                tr("%1;;%2;;All files (*)").arg(csv, jsonLines), &chosenFilter);
    if (path.isEmpty())
        return;
    const FileType chosen = chosenFilter == csv ? FileType::Csv
        : chosenFilter == jsonLines             ? FileType::JsonLines
                                                : FileType::Any;
    saveArrivalsTo(withEnding(path, chosen), std::move(only));
}

QString LogSaver::withEnding(const QString &path, FileType chosen)
{
    if (!QFileInfo(path).suffix().isEmpty() || chosen == FileType::Any)
        return path;
    return path + (chosen == FileType::Csv ? QStringLiteral(".csv") : QStringLiteral(".jsonl"));
}

bool LogSaver::isJsonLines(const QString &path)
{
    return path.endsWith(QStringLiteral(".jsonl"), Qt::CaseInsensitive)
        || path.endsWith(QStringLiteral(".ndjson"), Qt::CaseInsensitive);
}

bool LogSaver::saveArrivalsTo(const QString &path, std::shared_ptr<const std::vector<qint64>> only)
{
    if (refuseSecond())
        return false;
    ArrivalSnapshot snapshot = m_model.arrivals().snapshot();
    if (only)
        snapshot = snapshot.only(std::move(only));
    const auto arrivals = std::make_shared<const ArrivalSnapshot>(std::move(snapshot));
    const qint64 missing = arrivals->countNotKept();
    const qint64 kept = arrivals->count() - missing;
    const Job job { tr("Save Arrivals"), tr("Saving arrivals"), path, kept,
                    [kept, missing, name = QFileInfo(path).fileName()] {
                        QString text =
                            tr("Saved %1 arrivals to %2").arg(countText(quint64(kept)), name);
                        if (missing > 0)
                            text +=
                                tr("; %1 not kept are missing").arg(countText(quint64(missing)));
                        return text;
                    } };
    const bool json = isJsonLines(path);
    start(job, [arrivals, path, json](SaveProgress &progress) {
        return saveFile(
            path,
            [&](QIODevice &out, QString *readError) {
                return json ? writeArrivalsJsonLines(*arrivals, out, progress, readError)
                            : writeArrivalsCsv(*arrivals, out, progress, readError);
            },
            progress);
    });
    return true;
}

void LogSaver::start(const Job &job, std::function<SaveResult(SaveProgress &)> work)
{
    const bool existed = QFileInfo::exists(job.path);
    m_doing = job.doing;
    m_path = job.path;
    m_save =
        new BackgroundSave(tr("%1 to %2").arg(job.doing, job.path), job.total, std::move(work));
    connect(m_save, &BackgroundSave::finished, this,
            [this, job, existed](const SaveResult &result) {
                m_progressTimer.stop();
                emit progressChanged({}, {});
                const QString name = QFileInfo(job.path).fileName();
                switch (result.outcome) {
                case SaveResult::Outcome::Written:
                    emit said(job.doneText(), job.path);
                    break;
                case SaveResult::Outcome::Cancelled:
                    emit said(existed ? tr("Cancelled: %1 left as it was").arg(name)
                                      : tr("Cancelled: nothing saved to %1").arg(name),
                              job.path);
                    break;
                case SaveResult::Outcome::Failed:
                    QMessageBox::warning(m_box, job.title, failureText(job.path, result.error));
                    break;
                }
            });
    m_save->start();
    m_progressTimer.start();
    showProgress();
}

void LogSaver::showProgress()
{
    const BackgroundSave *save = m_save.data();
    if (!save)
        return;
    emit progressChanged(tr("%1… %2 %").arg(m_doing).arg(save->percent()),
                         tr("%1 to %2. Click, or press Escape, to cancel.").arg(m_doing, m_path));
}

void LogSaver::cancel()
{
    if (m_save)
        m_save->cancel();
}

void LogSaver::finishRunning()
{
    for (const QPointer<BackgroundSave> save : BackgroundSave::running()) {
        const QString what = save->what();
        QProgressDialog progress(tr("Finishing before Harkline ends:\n%1").arg(what), tr("Abandon"),
                                 0, 100);
        progress.setWindowTitle(QStringLiteral("Harkline"));
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        QEventLoop loop;
        SaveResult result;
        connect(save, &BackgroundSave::finished, &loop, [&](const SaveResult &outcome) {
            result = outcome;
            loop.quit();
        });
        connect(&progress, &QProgressDialog::canceled, save, &BackgroundSave::cancel);
        QTimer timer;
        connect(&timer, &QTimer::timeout, &progress, [&] {
            if (const BackgroundSave *still = save.data())
                progress.setValue(still->percent());
        });
        timer.start(ProgressIntervalMs);
        progress.show();
        loop.exec();
        if (result.outcome == SaveResult::Outcome::Failed)
            QMessageBox::warning(nullptr, QStringLiteral("Harkline"),
                                 tr("%1 failed: %2.").arg(what, result.error));
    }
}
