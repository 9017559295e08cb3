// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogTable.h"

#include "ArrivalText.h"
#include "LogMargin.h"
#include "LogPainter.h"
#include "RowIndex.h"
#include "RowTexts.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QToolTip>

namespace {

// Between a cell's edge and its text.
constexpr int CellPadding = 4;
// Above and below a row's text.
constexpr int RowPadding = 2;
constexpr int SeverityMarkWidth = 6;
const QColor GapColor(255, 205, 205);
// A frame of a 60 Hz screen.
constexpr int FrameMs = 16;

// How wide each column starts: as wide as a typical value (a message, some 80 characters).
const std::array<QLatin1String, RowText::Columns> StartWidths {
    QLatin1String("2026-12-31 23:59:59.999"),
    QLatin1String("255.255.255.255:65535"),
    QLatin1String("host-name-01"),
    QLatin1String("app-name[12345]"),
    QLatin1String("warning"),
    QLatin1String(
        "The message, some eighty characters long, as most syslog messages are at most ."),
    QLatin1String("local7"),
    QLatin1String("message-id"),
    QLatin1String("2026-12-31T23:59:59.999+01:00"),
    QLatin1String("-1 h 59 min 59.999 s"),
    QLatin1String("65535"),
    QLatin1String("1,234,567"),
    QLatin1String(
        "<13>1 2026-12-31T23:59:59.999+01:00 host-name-01 app-name 12345 - - The message"),
};

} // namespace

LogTable::LogTable(const RowIndex &rows, RowTexts &texts, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_rows(rows)
    , m_texts(texts)
    , m_header(new QHeaderView(Qt::Horizontal, this))
{
    auto *columns = new QStandardItemModel(0, RowText::Columns, this);
    for (int column = 0; column < RowText::Columns; ++column)
        columns->setHeaderData(column, Qt::Horizontal, RowText::columnName(column));
    m_header->setModel(columns);
    m_header->setSectionsMovable(true);
    m_header->setHighlightSections(false);
    // Over a wide column such as the message, a centred name would be out of sight.
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->setStretchLastSection(false);
    for (int column = 0; column < RowText::Columns; ++column) {
        m_header->resizeSection(
            column,
            fontMetrics().horizontalAdvance(StartWidths[std::size_t(column)]) + 2 * CellPadding
                + (column == RowText::Severity ? SeverityMarkWidth + CellPadding : 0));
        m_header->setSectionHidden(column, column >= RowText::FirstHidden);
    }
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateScrollBars();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionMoved, viewport(), qOverload<>(&QWidget::update));
    setViewportMargins(0, m_header->sizeHint().height(), 0, 0);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(false);
    // In a flood, rows come many times a frame: painting them once a frame is all an eye sees.
    m_appended.setSingleShot(true);
    m_appended.setInterval(FrameMs);
    connect(&m_appended, &QTimer::timeout, this, &LogTable::showAppended);
}

int LogTable::rowHeight() const
{
    return fontMetrics().height() + 2 * RowPadding;
}

qint64 LogTable::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

qint64 LogTable::visibleRowCount() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

bool LogTable::isAtBottom() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void LogTable::updateScrollBars()
{
    const qint64 rows = m_rows.count();
    const qint64 page = visibleRowCount();
    verticalScrollBar()->setPageStep(int(page));
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, int(std::max<qint64>(0, rows - page)));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, m_header->length() - viewport()->width()));
}

void LogTable::rowsAppended()
{
    if (!m_appended.isActive())
        m_appended.start();
}

void LogTable::showAppended()
{
    const bool following = isAtBottom();
    const qint64 before = qint64(verticalScrollBar()->maximum()) + visibleRowCount();
    updateScrollBars();
    if (following) {
        scrollToBottom();
    } else {
        m_newBelow += std::max<qint64>(0, m_rows.count() - std::max(before, m_newBelow));
        emit newBelowChanged(m_newBelow);
    }
    viewport()->update();
}

void LogTable::rowsReset()
{
    m_appended.stop();
    m_current = -1;
    m_anchor = -1;
    m_extra.clear();
    m_newBelow = 0;
    emit newBelowChanged(0);
    updateScrollBars();
    viewport()->update();
}

void LogTable::scrollToBottom()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    if (m_newBelow != 0) {
        m_newBelow = 0;
        emit newBelowChanged(0);
    }
}

void LogTable::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), frameWidth(), area.width(), m_header->sizeHint().height());
    const bool following = isAtBottom();
    updateScrollBars();
    if (following)
        scrollToBottom();
}

void LogTable::scrollContentsBy(int dx, int)
{
    if (dx != 0)
        m_header->setOffset(horizontalScrollBar()->value());
    if (isAtBottom() && m_newBelow != 0) {
        m_newBelow = 0;
        emit newBelowChanged(0);
    }
    viewport()->update();
}

qint64 LogTable::rowAt(int y) const
{
    const qint64 row = firstVisibleRow() + y / rowHeight();
    return y >= 0 && row < m_rows.count() ? row : -1;
}

int LogTable::columnAt(int x) const
{
    return m_header->logicalIndexAt(x);
}

QString LogTable::cellText(qint64 row, int column) const
{
    const RowIndex::Row at = m_rows.at(row);
    const RowText &text = m_texts.of(at.datagram);
    if (at.gap) {
        const QString dropped = text.texts[RowText::DroppedBefore];
        return dropped == QLatin1String("1") ? tr("1 datagram dropped here")
                                             : tr("%1 datagrams dropped here").arg(dropped);
    }
    return text.texts[std::size_t(column)];
}

void LogTable::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().color(QPalette::Base));
    const int height = rowHeight();
    const qint64 first = firstVisibleRow();
    const qint64 end = std::min(m_rows.count(), first + visibleRowCount() + 1);
    const std::vector<std::pair<qint64, qint64>> selected = selection();
    const auto isSelected = [&](qint64 row) {
        return std::any_of(selected.begin(), selected.end(), [row](const auto &range) {
            return row >= range.first && row <= range.second;
        });
    };
    const QFontMetrics metrics = fontMetrics();
    for (qint64 row = first; row < end; ++row) {
        const QRect line(0, int(row - first) * height, viewport()->width(), height);
        if (!line.intersects(exposed))
            continue;
        const RowIndex::Row at = m_rows.at(row);
        const bool chosen = isSelected(row);
        if (at.gap) {
            painter.fillRect(line, GapColor);
            painter.setPen(Qt::black);
            painter.drawText(line.adjusted(CellPadding, 0, -CellPadding, 0),
                             Qt::AlignLeft | Qt::AlignVCenter, cellText(row, 0));
        } else {
            if (chosen)
                painter.fillRect(line, palette().color(QPalette::Highlight));
            else if (m_marks && m_marks->contains(at.datagram))
                painter.fillRect(line, LogPainter::MarkColor);
            const RowText &text = m_texts.of(at.datagram);
            painter.setPen(palette().color(chosen ? QPalette::HighlightedText : QPalette::Text));
            for (int visual = 0; visual < m_header->count(); ++visual) {
                const int column = m_header->logicalIndex(visual);
                if (m_header->isSectionHidden(column))
                    continue;
                QRect cell(m_header->sectionViewportPosition(column), line.top(),
                           m_header->sectionSize(column), height);
                if (cell.right() < exposed.left() || cell.left() > exposed.right())
                    continue;
                if (column == RowText::Severity && text.priority) {
                    painter.fillRect(cell.left() + CellPadding, cell.top() + RowPadding,
                                     SeverityMarkWidth, cell.height() - 2 * RowPadding,
                                     LogMargin::severityColor(text.priority->severity()));
                    cell.setLeft(cell.left() + SeverityMarkWidth + CellPadding);
                }
                const QRect inner = cell.adjusted(CellPadding, 0, -CellPadding, 0);
                painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter,
                                 metrics.elidedText(text.texts[std::size_t(column)], Qt::ElideRight,
                                                    inner.width()));
            }
        }
        if (row == m_current && hasFocus()) {
            painter.setPen(palette().color(QPalette::Highlight).darker());
            painter.drawRect(line.adjusted(0, 0, -1, -1));
        }
    }
}

std::vector<std::pair<qint64, qint64>> LogTable::selection() const
{
    std::vector<std::pair<qint64, qint64>> ranges = m_extra;
    if (m_current >= 0)
        ranges.emplace_back(std::min(m_anchor, m_current), std::max(m_anchor, m_current));
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<qint64, qint64>> merged;
    for (const auto &range : ranges) {
        if (!merged.empty() && range.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, range.second);
        else
            merged.push_back(range);
    }
    return merged;
}

qint64 LogTable::selectedCount() const
{
    qint64 count = 0;
    for (const auto &[from, to] : selection())
        count += to - from + 1;
    return count;
}

void LogTable::selectAll()
{
    if (m_rows.count() == 0)
        return;
    m_extra.clear();
    m_anchor = 0;
    m_current = m_rows.count() - 1;
    viewport()->update();
    emit currentRowChanged(m_current);
}

void LogTable::setCurrentRow(qint64 row, bool extend)
{
    if (m_rows.count() == 0)
        return;
    row = std::clamp<qint64>(row, 0, m_rows.count() - 1);
    if (!extend) {
        m_anchor = row;
        m_extra.clear();
    }
    m_current = row;
    ensureVisible(row);
    viewport()->update();
    emit currentRowChanged(row);
}

void LogTable::ensureVisible(qint64 row)
{
    const qint64 first = firstVisibleRow();
    const qint64 page = visibleRowCount();
    if (row < first)
        verticalScrollBar()->setValue(int(row));
    else if (row >= first + page)
        verticalScrollBar()->setValue(int(row - page + 1));
}

void LogTable::keyPressEvent(QKeyEvent *event)
{
    const qint64 page = visibleRowCount();
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const qint64 last = m_rows.count() - 1;
    const qint64 current = m_current < 0 ? firstVisibleRow() : m_current;
    switch (event->key()) {
    case Qt::Key_Up:
        setCurrentRow(current - 1, extend);
        break;
    case Qt::Key_Down:
        setCurrentRow(current + 1, extend);
        break;
    case Qt::Key_PageUp:
        setCurrentRow(current - page, extend);
        break;
    case Qt::Key_PageDown:
        setCurrentRow(current + page, extend);
        break;
    case Qt::Key_Home:
        setCurrentRow(0, extend);
        break;
    case Qt::Key_End:
        setCurrentRow(last, extend);
        break;
    case Qt::Key_Left:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LogTable::mousePressEvent(QMouseEvent *event)
{
    const qint64 row = rowAt(int(event->position().y()));
    if (row < 0 || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ControlModifier && m_current >= 0) {
        // Adds the row to the selection as it is.
        m_extra.emplace_back(std::min(m_anchor, m_current), std::max(m_anchor, m_current));
        m_anchor = row;
        m_current = row;
        viewport()->update();
        emit currentRowChanged(row);
        return;
    }
    setCurrentRow(row, event->modifiers() & Qt::ShiftModifier);
}

void LogTable::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const qint64 row = rowAt(std::clamp(int(event->position().y()), 0, viewport()->height() - 1));
    if (row >= 0)
        setCurrentRow(row, true);
}

void LogTable::mouseDoubleClickEvent(QMouseEvent *event)
{
    const qint64 row = rowAt(int(event->position().y()));
    if (row >= 0)
        emit rowActivated(row);
}

void LogTable::contextMenuEvent(QContextMenuEvent *event)
{
    const QPoint at = viewport()->mapFrom(this, event->pos());
    const qint64 row = rowAt(at.y());
    if (row < 0)
        return;
    if (m_current != row
        && !(row >= std::min(m_anchor, m_current) && row <= std::max(m_anchor, m_current)))
        setCurrentRow(row);
    emit cellMenuRequested(row, columnAt(at.x()), event->globalPos());
}

bool LogTable::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const qint64 row = rowAt(help->pos().y());
        const int column = columnAt(help->pos().x());
        const QString text = row >= 0 && column >= 0 ? cellText(row, column) : QString();
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}
