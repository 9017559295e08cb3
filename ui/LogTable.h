// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGTABLE_H
#define HARKLINE_LOGTABLE_H

#include <QAbstractScrollArea>
#include <QTimer>

#include <set>
#include <utility>
#include <vector>

class QHeaderView;
class RowIndex;
class RowTexts;

// The rows of the Log View: a row a datagram, and a row for each gap where the system dropped
// datagrams, painted from the record as they come into view. A view of its own rather than Qt's
// item views, which at 20,000,000 rows cost memory for every row and time for every batch of new
// ones (docs/PERFORMANCE.md); this one costs nothing a row. Columns resize and move in its header.
class LogTable : public QAbstractScrollArea
{
    Q_OBJECT

public:
    LogTable(const RowIndex &rows, RowTexts &texts, QWidget *parent = nullptr);

    QHeaderView *header() const { return m_header; }
    qint64 currentRow() const { return m_current; }
    // Moves the current row; 'extend' extends the selection to it, else it is all that is selected.
    void setCurrentRow(qint64 row, bool extend = false);
    // The selected rows, as ranges of rows (from, to included), in order.
    std::vector<std::pair<qint64, qint64>> selection() const;
    qint64 selectedCount() const;
    void selectAll();
    // The datagrams the user marked, shown tinted.
    void setMarks(const std::set<qint64> *marks) { m_marks = marks; }

    // Call when rows came at the end: the view follows them while it is at the bottom, and counts
    // them as new below otherwise, at most once a frame.
    void rowsAppended();
    // Call when the rows are other rows altogether (a filter, a clear).
    void rowsReset();
    void scrollToBottom();
    // The rows in view, the first and how many.
    qint64 firstVisibleRow() const;
    qint64 visibleRowCount() const;
    qint64 newBelow() const { return m_newBelow; }

signals:
    void currentRowChanged(qint64 row);
    void newBelowChanged(qint64 rows);
    void cellMenuRequested(qint64 row, int column, const QPoint &globalPosition);
    void rowActivated(qint64 row); // a double click

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    int rowHeight() const;
    qint64 rowAt(int y) const;
    int columnAt(int x) const;
    void updateScrollBars();
    void showAppended();
    bool isAtBottom() const;
    void ensureVisible(qint64 row);
    QString cellText(qint64 row, int column) const;

    const RowIndex &m_rows;
    RowTexts &m_texts;
    QHeaderView *m_header;
    const std::set<qint64> *m_marks = nullptr;
    qint64 m_current = -1;
    qint64 m_anchor = -1; // where a selection began
    std::vector<std::pair<qint64, qint64>> m_extra; // rows added to the selection one by one
    qint64 m_newBelow = 0;
    QTimer m_appended; // a frame, gathering rows that come meanwhile
};

#endif // HARKLINE_LOGTABLE_H
