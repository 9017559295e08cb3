// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGSAVER_H
#define HARKLINE_LOGSAVER_H

#include <QObject>

class LogModel;
class QWidget;

// Saving from the log box: where to (a file dialog, offering a name with the date and time in the
// home folder), how (asking before the log is saved as UTF-8), and saying so when it could not.
class LogSaver : public QObject
{
    Q_OBJECT

public:
    LogSaver(QWidget *box, const LogModel &model);

    void saveLog();
    void saveArrivals();
    // The same, once the path is chosen. False when nothing was written. The arrivals are
    // written as JSON Lines to a name ending in .jsonl or .ndjson, as CSV to any other.
    bool saveLogTo(const QString &path);
    bool saveArrivalsTo(const QString &path);
    static bool isJsonLines(const QString &path);

private:
    // Asks where to save, offering a name made from 'pattern' (a QDateTime format).
    QString askPath(const QString &title, const QString &pattern, const QString &filter,
                    QString *chosenFilter = nullptr);
    // Writes with a busy cursor, and says so when it cannot.
    bool write(const QString &title, const QString &path,
               const std::function<bool(QString *error)> &write);
    // Whether the user agrees to save as UTF-8 a log holding a character no byte can hold.
    bool agreeToUtf8(QChar wide);

    QWidget *m_box;
    const LogModel &m_model;
};

#endif // HARKLINE_LOGSAVER_H
