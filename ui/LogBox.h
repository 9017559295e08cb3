// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGBOX_H
#define HARKLINE_LOGBOX_H

#include "Arrival.h"
#include "ControlBytes.h"
#include "LogHub.h"
#include "LogLines.h"

#include <QPlainTextEdit>

#include <functional>

class AlertController;
class DatagramDetails;
class FindController;
class Highlights;
class LineFilter;
class LineJumps;
class LogCommands;
class LogFeed;
class LogMargin;
class LogNotices;
class LogSaver;
class LogView;
class ViewRulesController;

// The log box: the log text, exactly the payloads and their line ends plus whatever the user
// types, and beside it what a user watching a device needs: when and from whom each line came,
// where the system dropped datagrams, find, exact copy, saving the log and the arrivals, view
// rules that show only what matters, highlights, and jumps to problems and marks.
// The log itself is the LogModel; this box shows it, takes the user's edits into it through its
// text mapping, and wires the parts around it: the feed of arriving lines, the margin, the
// notices, find, the view rules and the saves. Lines the rules hide are never edited, and
// copying a selection copies the lines shown in it.
class LogBox
    : public QPlainTextEdit
    , public LogLines
{
    Q_OBJECT

public:
    explicit LogBox(QWidget *parent = nullptr);
    ~LogBox() override;

    const LogModel &model() const { return m_model; }
    // The log every view of this run reads.
    LogHub &hub() { return m_hub; }
    // The whole log text, the lines kept aside and those still waiting to be shown included.
    QString text() const;
    void setText(const QString &text);
    // Adds the payload and a carriage return and line feed at the end. The view follows the new
    // line only when it was scrolled to the bottom.
    void appendLine(const QString &payload, const Arrival &arrival);
    void insertPending() override;
    // Asked between pieces of an insertion; while it holds, the box leaves the processor and
    // inserts the rest a frame later.
    void setYieldCondition(std::function<bool()> yieldNow);
    void setDocumentLimit(LogModel::DocumentLimit limit) { m_model.setDocumentLimit(limit); }
    // Where the record of arrivals keeps what is past its memory budget (ArrivalRecord).
    void setRecordStorage(qint64 memoryBudget, const QString &folder)
    {
        m_model.arrivals().setStorage(memoryBudget, folder);
    }

    // The details of the caret line's datagram, in a window that follows the caret while it is
    // open.
    void showDetails();
    // Every arrival since Start in a window of its own, made when first asked for.
    void openLogView();
    // Selects datagram 'arrival' in the Log View, raised, if it is open.
    bool showInLogView(qint64 arrival);
    // Where the Log View learns the port it names in its title.
    void setPortSource(std::function<int()> port) { m_port = std::move(port); }
    bool isMarginShown() const;
    void setMarginShown(bool shown);
    void clearLog();
    // The number of datagrams the system has dropped since Start, as the kernel counts them: it
    // includes those dropped after the last arrival, which no arrival has told of yet.
    void setSystemDrops(quint32 total);
    // How many datagrams the system has dropped since Start, or since the log was cleared.
    quint64 droppedTotal() const;

    QList<VisibleLine> visibleLines() const override;
    QTextBlock lineAt(int y) const override;
    QTextCursor caret() const override { return textCursor(); }
    void showCaret(const QTextCursor &caret) override;
    // Find's matches and the user's highlights in the lines in view.
    void updateExtraSelections();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void prepareEdit();
    void typeAt(QTextCursor cursor, QStringView text);
    bool selectionHidesLines() const;
    void removeShownSelection();
    void keepCaretShown();
    void updateDetails();
    bool isFollowing() const;
    void followTail();
    void showFirstUnseenDrop();
    void updateNotices();
    void layoutOverlays();

    LogHub m_hub;
    LogModel &m_model; // the hub's
    LogFeed *m_feed;
    LogMargin *m_margin;
    LogNotices *m_notices;
    FindController *m_find;
    LogSaver *m_saver;
    LineFilter *m_filter;
    ViewRulesController *m_rules;
    Highlights *m_highlights;
    LineJumps *m_jumps;
    AlertController *m_alerts;
    LogCommands *m_commands;
    ControlBytes m_controlBytes;
    DatagramDetails *m_details = nullptr; // made when first asked for
    LogView *m_view = nullptr; // made when first asked for
    std::function<int()> m_port;
    int m_lastCaret = 0;

    bool m_wasFollowing = true;
    qint64 m_unseenLines = 0;
    quint64 m_droppedSeen = 0;
    quint32 m_systemDrops = 0;
    quint32 m_systemDropsAtClear = 0;
    qint64 m_firstUnseenDrop = -1; // the datagram
};

#endif // HARKLINE_LOGBOX_H
