// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogSaver.h"

#include "LogModel.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {

// The largest character one byte holds: the log is saved one byte per character.
constexpr char16_t LargestByte = 0xFF;

QString codePointText(QChar c)
{
    constexpr int Digits = 4;
    return QString::number(c.unicode(), 16).toUpper().rightJustified(Digits, u'0');
}

} // namespace

LogSaver::LogSaver(QWidget *box, const LogModel &model)
    : QObject(box)
    , m_box(box)
    , m_model(model)
{ }

QString LogSaver::askPath(const QString &title, const QString &pattern, const QString &filter,
                          QString *chosenFilter)
{
    const QString name = QDir::home().filePath(QDateTime::currentDateTime().toString(pattern));
    return QFileDialog::getSaveFileName(m_box, title, name, filter, chosenFilter);
}

bool LogSaver::write(const QString &title, const QString &path,
                     const std::function<bool(QString *error)> &write)
{
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = write(&error);
    QGuiApplication::restoreOverrideCursor();
    if (!written)
        QMessageBox::warning(m_box, title, tr("Cannot save \"%1\": %2.").arg(path, error));
    return written;
}

void LogSaver::saveLog()
{
    const QString path = askPath(tr("Save Log"), QStringLiteral("'harkline-'yyyyMMdd-HHmmss'.log'"),
                                 tr("Logs (*.log *.txt);;All files (*)"));
    if (!path.isEmpty())
        saveLogTo(path);
}

bool LogSaver::saveLogTo(const QString &path)
{
    // The log is saved one byte per character, as the datagrams carried it; a character the user
    // typed that no byte can hold is not changed silently.
    QChar wide;
    m_model.forEachPart([&wide](QStringView text) {
        const auto at = std::find_if(text.begin(), text.end(),
                                     [](QChar c) { return c.unicode() > LargestByte; });
        if (at == text.end())
            return true;
        wide = *at;
        return false;
    });
    const bool utf8 = !wide.isNull();
    if (utf8 && !agreeToUtf8(wide))
        return false;
    return write(tr("Save Log"), path,
                 [&](QString *error) { return m_model.writeLog(path, utf8, error); });
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

void LogSaver::saveArrivals()
{
    const QString jsonLines = tr("JSON Lines (*.jsonl *.ndjson)");
    QString chosenFilter;
    QString path =
        askPath(tr("Save Arrivals"), QStringLiteral("'harkline-arrivals-'yyyyMMdd-HHmmss'.csv'"),
                tr("CSV files (*.csv);;%1;;All files (*)").arg(jsonLines), &chosenFilter);
    if (path.isEmpty())
        return;
    // A name with no ending takes the one of the file type chosen.
    if (chosenFilter == jsonLines && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".jsonl");
    saveArrivalsTo(path);
}

bool LogSaver::isJsonLines(const QString &path)
{
    return path.endsWith(QStringLiteral(".jsonl"), Qt::CaseInsensitive)
        || path.endsWith(QStringLiteral(".ndjson"), Qt::CaseInsensitive);
}

bool LogSaver::saveArrivalsTo(const QString &path)
{
    const LogModel::ArrivalFormat format =
        isJsonLines(path) ? LogModel::ArrivalFormat::JsonLines : LogModel::ArrivalFormat::Csv;
    return write(tr("Save Arrivals"), path,
                 [&](QString *error) { return m_model.writeArrivals(path, format, error); });
}
