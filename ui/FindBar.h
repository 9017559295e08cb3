// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FINDBAR_H
#define HARKLINE_FINDBAR_H

#include <QFrame>

class QLabel;
class QLineEdit;

// The find field that opens over the top edge of the log box: what to look for, and a word on how
// the last search went. Enter and F3 ask for the next match, Shift with them for the previous one,
// Escape closes it.
class FindBar : public QFrame
{
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);

    QString needle() const;
    // Shows the bar with the focus in the field, its text selected.
    void open();
    void setStatus(const QString &status);

signals:
    void needleChanged(const QString &needle);
    void nextRequested();
    void previousRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_field;
    QLabel *m_status;
};

#endif // HARKLINE_FINDBAR_H
