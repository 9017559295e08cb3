// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGNOTICES_H
#define HARKLINE_LOGNOTICES_H

#include <QObject>
#include <QRect>
#include <QTimer>

class OverlayLabel;
class QWidget;

// The short notices over the log's text: at the top left, how many earlier lines are kept aside;
// at the top right, how many lines the view rules let through, and a word on the last jump; at
// the bottom left, the datagrams the system dropped since the user last looked; at the bottom
// right, the lines that arrived below the view. A count of 0 hides its notice.
class LogNotices : public QObject
{
    Q_OBJECT

public:
    explicit LogNotices(QWidget *box);

    // 'searching': the find field is open, and it does not look in them.
    void showEarlier(qint64 lines, bool searching);
    void showDropped(quint64 datagrams);
    void showNewBelow(qint64 lines);
    // 'total' 0: no rule is on.
    void showShowing(qint64 shown, qint64 total);
    // Shows 'text' for a moment.
    void flash(const QString &text);
    // Places the notices inside 'area', those at the top from 'top' down.
    void layout(const QRect &area, int top);

signals:
    void droppedClicked();
    void newBelowClicked();
    void showingClicked();

private:
    OverlayLabel *m_earlier;
    OverlayLabel *m_dropped;
    OverlayLabel *m_newBelow;
    OverlayLabel *m_showing;
    OverlayLabel *m_flash;
    QTimer m_flashTimer;
};

#endif // HARKLINE_LOGNOTICES_H
