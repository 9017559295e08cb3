// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGBOX_H
#define HARKLINE_LOGBOX_H

#include "Arrival.h"
#include "ArrivalRecord.h"
#include "LogArchive.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

class FindBar;
class LogMargin;
class LogSearch;
class OverlayLabel;

// The log box: the log text, exactly the payloads and their line ends plus whatever the user
// types, and beside it what a user watching a device needs: when and from whom each line came,
// where the system dropped datagrams, find, exact copy, and saving the log and the arrivals.
//
// A text box keeps lines, not line ends, so the log's own line end, carriage return and line feed,
// is a paragraph break; a lone line feed a line break inside the paragraph (U+2028); and a lone
// carriage return the visible sign ␍ (U+240D). text() turns them back. The few characters a user
// can type or paste that the box would take for these, or cannot hold at all, are kept with a
// format that says which character they stand for, so text() is exact whatever the user did.
//
// Lines that arrive go into the document at most once a frame, many lines in one insertion, so a
// flood costs one layout and one repaint a frame; text() already includes them. Each line from a
// datagram is tied to its entry in the arrivals record by its block's user state.
class LogBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogBox(QWidget *parent = nullptr);
    ~LogBox() override;

    // The whole log text, the part moved out of the box included.
    QString text() const;
    void setText(const QString &text);
    // Adds the payload and a carriage return and line feed at the end. The view follows the new
    // line only when it was scrolled to the bottom.
    void appendLine(const QString &payload, const Arrival &arrival);
    // Asked between pieces of an insertion; while it holds, the box leaves the processor and
    // inserts the rest a frame later.
    void setYieldCondition(std::function<bool()> yieldNow) { m_yieldNow = std::move(yieldNow); }

    const ArrivalRecord &arrivals() const { return m_arrivals; }
    const LogArchive &archive() const { return m_archive; }
    // Before the document holds more characters than this, its oldest lines move to the archive.
    void setDocumentLimit(qsizetype characters) { m_documentLimit = characters; }

    bool isMarginShown() const;
    void setMarginShown(bool shown);
    // The exact text between two positions of the document.
    QString documentText(int from, int to) const;
    // Hands the log text, the archive's part first, to 'take' in pieces that end at line ends, so
    // that it is written out without a copy of the whole; stops when 'take' returns false.
    bool forEachLogPart(const std::function<bool(QStringView)> &take) const;
    // The arrival the line of 'block' came from; none for a line the user typed.
    std::optional<qint64> arrivalOf(const QTextBlock &block) const;
    // The same, for the first line of the datagram only.
    std::optional<qint64> firstLineArrival(const QTextBlock &block) const;

    // Writes the log text, one byte per character; false with the reason when it cannot be written.
    bool writeLog(const QString &path, bool utf8, QString *error);
    bool writeArrivals(const QString &path, QString *error) const;
    void clearLog();
    // The number of datagrams the system has dropped since Start, as the kernel counts them: it
    // includes those dropped after the last arrival, which no arrival has told of yet.
    void setSystemDrops(quint32 total);
    // How many datagrams the system has dropped since Start, or since the log was cleared.
    quint64 droppedTotal() const;

    // For the margin.
    int marginWidth() const;
    QFont marginFont() const;
    void updateMarginWidth();
    void paintMargin(QPaintEvent *event);
    QString arrivalTipAt(int y) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    enum class Insert { Yielding, Everything };
    void insertPending(Insert how);
    void drawInView(QPainter *painter, const QTextBlock &block, QPointF offset,
                    const QList<QTextLayout::FormatRange> &selections, const QRect &exposed) const;
    void moveOldestOut();
    void insertExact(QTextCursor &cursor, QStringView text);
    QTextCharFormat literalFormat(char16_t standsFor) const;
    void repairDetails(int position, int added);
    bool showsArrival(const QTextBlock &block) const;
    QTextBlock blockAt(int y) const;
    bool isFollowing() const;
    void followTail();
    int frameMs() const;
    void layoutOverlays();
    void updateOverlays();
    void updateFindHighlights();
    FindBar *findBar();
    void openFind();
    bool isFinding() const;
    void findFrom(int position, bool backward);
    void saveLog();
    void saveArrivals();
    static QString toDocumentText(QStringView text);

    // Appended but not in the document yet, from m_pendingFrom on; and the arrival of each line
    // end in it, in order.
    QString m_pending;
    qsizetype m_pendingFrom = 0;
    std::vector<int> m_pendingBreaks;
    std::size_t m_pendingBreaksFrom = 0;
    QTimer m_insertTimer;
    QElapsedTimer m_sinceInsert;
    std::function<bool()> m_yieldNow;
    bool m_inserting = false; // the program, not the user, is changing the document

    ArrivalRecord m_arrivals;
    LogArchive m_archive;
    qsizetype m_documentLimit;

    QTextCharFormat m_typedFormat;
    bool m_hasLiterals = false;

    QAction *m_marginAction;
    QList<QAction *> m_menuActions;
    LogMargin *m_margin;
    int m_senderWidth = 0; // of the widest sender the margin has shown
    FindBar *m_findBar = nullptr;
    LogSearch *m_search;
    int m_findOrigin = 0;
    OverlayLabel *m_earlier; // the oldest lines are in the archive
    OverlayLabel *m_dropped; // datagrams dropped since the user last looked
    OverlayLabel *m_newBelow; // lines arrived below the view
    quint64 m_droppedSeen = 0;
    quint32 m_systemDrops = 0;
    quint32 m_systemDropsAtClear = 0;
    qint64 m_unseenLines = 0;
    qint64 m_firstUnseenDrop = -1; // arrival index
};

#endif // HARKLINE_LOGBOX_H
