// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGMARGIN_H
#define HARKLINE_LOGMARGIN_H

#include <QWidget>

class LogBox;

// The margin at the left of the log box, beside each line that came from a datagram: its time, its
// sender, a mark in the colour of its syslog severity, and a mark where the system dropped
// datagrams before it. The log box paints it, as in Qt's Code Editor example.
class LogMargin : public QWidget
{
    Q_OBJECT

public:
    explicit LogMargin(LogBox *box);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    LogBox *m_box;
};

#endif // HARKLINE_LOGMARGIN_H
