// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGSAVER_H
#define HARKLINE_LOGSAVER_H

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class BackgroundSave;
class LogModel;
class LogSnapshot;
class QWidget;
class SaveProgress;
struct SaveResult;

// Saving from the log box: where to (a file dialog, offering a name with the date and time in the
// home folder), how (asking before the log is saved as UTF-8), then writing what the log holds at
// that moment on a thread of its own while the window goes on, saying how far it got, and how it
// ended. One save at a time.
class LogSaver : public QObject
{
    Q_OBJECT

public:
    LogSaver(QWidget *box, const LogModel &model);

    void saveLog();
    // Every datagram received, or 'only' those (indices in the record, in order).
    void saveArrivals(std::shared_ptr<const std::vector<qint64>> only = nullptr);
    // The same, once the path is chosen: false when no save started. The arrivals are written as
    // JSON Lines to a name ending in .jsonl or .ndjson, as CSV to any other.
    bool saveLogTo(const QString &path);
    bool saveArrivalsTo(const QString &path,
                        std::shared_ptr<const std::vector<qint64>> only = nullptr);
    static bool isJsonLines(const QString &path);
    // A name with no ending takes the one of the file type chosen in the dialog.
    enum class FileType { Csv, JsonLines, Any };
    static QString withEnding(const QString &path, FileType chosen);

    bool isSaving() const { return !m_save.isNull(); }
    void cancel();

    // Finishes the saves still running as the program ends, showing how far each got; Escape
    // abandons one, which leaves its file as it was.
    static void finishRunning();

signals:
    // How far the save running got ("Saving arrivals… 45 %"); empty once none runs.
    void progressChanged(const QString &text, const QString &details);
    // What to tell the user: a save refused, finished or cancelled.
    void said(const QString &text, const QString &details);

private:
    // Asks where to save, offering a name made from 'pattern' (a QDateTime format).
    QString askPath(const QString &title, const QString &pattern, const QString &filter,
                    QString *chosenFilter = nullptr);
    // Says so when a save already runs.
    bool refuseSecond();
    struct Job
    {
        QString title; // for a failure's message
        QString doing; // "Saving arrivals"
        QString path;
        qint64 total; // what the progress counts up to
        std::function<QString()> doneText; // what a finished save says
    };
    void start(const Job &job, std::function<SaveResult(SaveProgress &)> work);
    void showProgress();
    // Whether the user agrees to save as UTF-8 a log holding a character no byte can hold.
    bool agreeToUtf8(QChar wide);

    QWidget *m_box;
    const LogModel &m_model;
    QPointer<BackgroundSave> m_save;
    QString m_doing;
    QString m_path;
    QTimer m_progressTimer;
};

#endif // HARKLINE_LOGSAVER_H
