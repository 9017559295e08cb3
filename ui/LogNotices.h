// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGNOTICES_H
#define HARKLINE_LOGNOTICES_H

#include <QObject>
#include <QRect>

class OverlayLabel;
class QWidget;

// The short notices over the log's text: at the top, how many earlier lines are kept aside; at
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
    // Places the notices inside 'area', those at the top from 'top' down.
    void layout(const QRect &area, int top);

signals:
    void droppedClicked();
    void newBelowClicked();

private:
    OverlayLabel *m_earlier;
    OverlayLabel *m_dropped;
    OverlayLabel *m_newBelow;
};

#endif // HARKLINE_LOGNOTICES_H
