// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FINDBAR_H
#define HARKLINE_FINDBAR_H

#include <QFrame>

class QLabel;
class QLineEdit;

// A field that opens over the top edge of the log box, for find or for the text of the view
// rules: the text, and a word on how it went. Enter and F3 ask for the next match, Shift with them
// for the previous one, Escape closes it.
class FindBar : public QFrame
{
    Q_OBJECT

public:
    // 'name' names the field's parts for the tests ("find": findBar, findField, findStatus);
    // 'placeholder' is what the empty field shows.
    FindBar(const QString &name, const QString &placeholder, QWidget *parent = nullptr);

    QString needle() const;
    void setNeedle(const QString &needle);
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
    void fitStatus();

    QLineEdit *m_field;
    QLabel *m_status;
    QString m_fullStatus; // the status, which the label may show cut short
};

#endif // HARKLINE_FINDBAR_H
