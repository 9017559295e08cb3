// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGVIEW_H
#define HARKLINE_LOGVIEW_H

#include "RowTexts.h"

#include <QTimer>
#include <QWidget>

#include <deque>

class AlertField;
class AlertRules;
class DatagramDetails;
class FindBar;
class LogHub;
class LogSaver;
class LogTable;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QSplitter;
class QToolBar;
class RowJumps;
class SendersPanel;
class ShownRows;
class Timeline;

// The Log View: every datagram since Start in a window as large as the user likes, a row each,
// with a filter and find over all of them, the details of the current one beside the rows, and
// copying and exporting what is shown. It reads the record of arrivals, never the log box's text,
// and changes nothing in the log: single keys can drive it.
class LogView : public QWidget
{
    Q_OBJECT

public:
    // 'alerts' are the rules its Alerts menu and field set, the box's.
    LogView(LogHub &hub, AlertRules &alerts, QWidget *parent = nullptr);
    ~LogView() override;

    // The title names the port the datagrams come to.
    void setPort(quint16 port);
    // Shows the window, raised; the first time at two thirds of the screen beside 'main'.
    void open(const QWidget *main);
    // Makes datagram 'datagram' the current row, raised.
    void showArrival(qint64 datagram);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void addActions();
    void addAlertActions(QMenuBar *menus);
    void applyFilter();
    void setFilterText(const QString &text);
    void updateStatus();
    void showDetails();
    void updateDetails();
    // What a find, a jump or an export has to tell, until the next.
    void say(const QString &text);
    void goToSecond(qint64 second);
    void updateTimeline();
    void copyRows() const;
    void exportRows();
    void showCellMenu(qint64 row, int column, const QPoint &at);
    // Shows or hides each column.
    void addColumnActions(QMenu *menu);
    // The datagrams of the selected rows, in order; gaps left out.
    std::vector<qint64> selectedDatagrams() const;

    LogHub &m_hub;
    ShownRows *m_rows;
    RowTexts m_texts;
    FindBar *m_filterBar;
    FindBar *m_findBar;
    AlertRules &m_alerts;
    AlertField *m_alertBar;
    QToolBar *m_tools;
    Timeline *m_timeline;
    LogTable *m_table;
    DatagramDetails *m_details;
    QSplitter *m_split; // the rows above the details
    SendersPanel *m_senders;
    QSplitter *m_beside; // the rows and details beside the senders
    QAction *m_timelineAction = nullptr;
    QAction *m_sendersAction = nullptr;
    QAction *m_detailsAction = nullptr;
    QLabel *m_newBelow;
    QLabel *m_said;
    QLabel *m_status;
    LogSaver *m_saver;
    RowJumps *m_jumps;
    QString m_saving; // the export's progress, while one runs
    QTimer m_filterPause;
    QTimer m_statusTimer;
    std::deque<std::pair<qint64, qint64>> m_sizes; // (ms, arrivals), for the rate
    bool m_placed = false;
};

#endif // HARKLINE_LOGVIEW_H
