// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BACKGROUNDSAVE_H
#define HARKLINE_BACKGROUNDSAVE_H

#include "SaveFile.h"
#include "SaveProgress.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <mutex>
#include <thread>

// A save that writes from a snapshot on a thread of its own while the window goes on: it says how
// far it got, can be cancelled, and says when it is done. It outlives whatever started it, so
// that the program can finish it before it ends (running()); it deletes itself once finished.
class BackgroundSave : public QObject
{
    Q_OBJECT

public:
    // 'work' runs on the save's thread, counting up to 'total' in its progress; 'what' says what
    // it saves where, for whoever shows it.
    using Work = std::function<SaveResult(SaveProgress &progress)>;
    BackgroundSave(QString what, qint64 total, Work work);
    ~BackgroundSave() override;

    QString what() const { return m_what; }
    void start();
    void cancel() { m_progress.cancel(); }
    bool isCancelled() const { return m_progress.isCancelled(); }
    int percent() const { return m_progress.percent(); }

    // The saves started and not finished, oldest first.
    static QList<BackgroundSave *> running();

signals:
    void finished(const SaveResult &result);

private:
    void finish();

    QString m_what;
    SaveProgress m_progress;
    Work m_work;
    std::mutex m_mutex; // hands the result over
    SaveResult m_result;
    std::thread m_thread;
};

#endif // HARKLINE_BACKGROUNDSAVE_H
