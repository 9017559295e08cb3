// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DatagramDetails.h"

#include "ArrivalText.h"
#include "HexDump.h"
#include "RowText.h"
#include "SyslogMessage.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Enough for the fields and a few rows of the dump; the user may make it larger.
const QSize StartSize(600, 540);
// A message longer than this is in the dump whole, and here only in part.
constexpr qsizetype LongestShownMessage = 500;
constexpr int HexDumpColumns = 77; // offset, 16 bytes in hex, 16 characters
// The structured data's table grows with its rows up to this share of the room it shares with the
// dump, and scrolls beyond; the dump takes the rest.
constexpr double MostTableShare = 0.6;
// Room left between the two windows, and the least of the dump shown.
constexpr int WindowGap = 8;
constexpr int LeastDumpLines = 4;
// Rows as tall as a line of text and a little air, not the style's taller default.
constexpr int TableRowPadding = 6;

QString fieldRow(const QString &name, const QString &value)
{
    return QStringLiteral("<tr><td style=\"padding-right: 12px\">%1</td><td>%2</td></tr>")
        .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
}

} // namespace

DatagramDetails::DatagramDetails(QWidget *parent, Placement placement)
    : QWidget(parent, placement == Placement::Window ? Qt::Tool : Qt::Widget)
    , m_fields(new QLabel(this))
    , m_structuredData(new QTableWidget(0, 3, this))
    , m_bytes(new QPlainTextEdit(this))
    , m_split(new QSplitter(Qt::Vertical, this))
{
    setObjectName(QStringLiteral("datagramDetails"));
    setWindowTitle(tr("Datagram Details"));
    resize(StartSize);
    m_fields->setObjectName(QStringLiteral("datagramFields"));
    m_fields->setTextFormat(Qt::RichText);
    m_fields->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_fields->setWordWrap(true);
    m_structuredData->setObjectName(QStringLiteral("structuredData"));
    m_structuredData->setHorizontalHeaderLabels({ tr("Element"), tr("Parameter"), tr("Value") });
    m_structuredData->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_structuredData->horizontalHeader()->setStretchLastSection(true);
    m_structuredData->verticalHeader()->hide();
    m_structuredData->verticalHeader()->setMinimumSectionSize(0);
    m_structuredData->verticalHeader()->setDefaultSectionSize(
        m_structuredData->fontMetrics().lineSpacing() + TableRowPadding);
    m_structuredData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_bytes->setObjectName(QStringLiteral("hexDump"));
    m_bytes->setReadOnly(true);
    m_bytes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_bytes->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_bytes->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_bytes->setMinimumWidth(
        m_bytes->fontMetrics().horizontalAdvance(QString(HexDumpColumns, u'0'))
        + 2 * (m_bytes->frameWidth() + int(m_bytes->document()->documentMargin()))
        + m_bytes->verticalScrollBar()->sizeHint().width());
    m_split->setObjectName(QStringLiteral("detailsSplit"));
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(m_structuredData);
    m_split->addWidget(m_bytes);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_fields);
    layout->addWidget(m_split, /*stretch*/ 1);
    setFocusProxy(m_bytes);
    if (placement == Placement::Pane)
        return;
    // A tool window's own window shortcuts go to its parent's window while it is active.
    QList<QKeySequence> closing = QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence &keys :
         { QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W) }) {
        if (!closing.contains(keys))
            closing.append(keys);
    }
    for (const QKeySequence &keys : std::as_const(closing)) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
}

QRect DatagramDetails::placeBeside(const QRect &window, const QSize &size, const QRect &screen)
{
    // Within the screen where it fits; at its top-left edge where it does not.
    const int top =
        std::max(screen.top(), std::min(window.top(), screen.bottom() - size.height() + 1));
    const QRect right(QPoint(window.right() + 1 + WindowGap, top), size);
    const QRect onLeft(QPoint(window.left() - WindowGap - size.width(), top), size);
    if (screen.contains(right))
        return right;
    if (screen.contains(onLeft))
        return onLeft;
    // No room on either side: below the window, or else where it covers the least of it.
    const int left =
        std::max(screen.left(), std::min(window.left(), screen.right() - size.width() + 1));
    const QRect below(QPoint(left, window.bottom() + 1 + WindowGap), size);
    if (screen.contains(below))
        return below;
    return window.center().x() - screen.left() > screen.right() - window.center().x()
        ? QRect(screen.topLeft(), size)
        : QRect(QPoint(screen.right() - size.width() + 1, screen.top()), size);
}

void DatagramDetails::shareRoom()
{
    const int total = m_split->height();
    const int header = m_structuredData->horizontalHeader()->sizeHint().height();
    const int frames = 2 * m_structuredData->frameWidth();
    const int rowsWanted =
        m_structuredData->rowCount() * m_structuredData->verticalHeader()->defaultSectionSize()
        + header + frames + m_structuredData->horizontalScrollBar()->sizeHint().height();
    const int leastDump = LeastDumpLines * m_bytes->fontMetrics().lineSpacing()
        + 2 * (m_bytes->frameWidth() + int(m_bytes->document()->documentMargin()));
    const int table =
        std::max(0, std::min({ rowsWanted, int(total * MostTableShare), total - leastDump }));
    m_split->setSizes({ table, total - table });
}

void DatagramDetails::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_structuredData->isVisible())
        shareRoom();
}

void DatagramDetails::showDatagram(const ArrivalEntry &entry, const QByteArray &payload)
{
    const SyslogMessage message = SyslogMessage::decode(payload, entry.arrival.timeNs);
    const SyslogFields &fields = message.fields;
    QString rows;
    rows += fieldRow(tr("Received"), isoLocalTime(entry.arrival.timeNs));
    rows += fieldRow(tr("From"), entry.arrival.senderText());
    rows += fieldRow(tr("Size"),
                     entry.bytes == 1 ? tr("1 byte")
                                      : tr("%1 bytes").arg(countText(quint64(entry.bytes))));
    rows +=
        fieldRow(tr("Dropped before"),
                 entry.arrival.droppedBefore == 0 ? tr("none")
                                                  : droppedBeforeText(entry.arrival.droppedBefore));
    if (fields.priority) {
        rows +=
            fieldRow(tr("Syslog"),
                     fields.isSyslog() ? QString(SyslogFields::formatName(fields.format)).toUpper()
                                       : tr("not syslog"));
        rows += fieldRow(tr("Facility"), fields.priority->facilityText());
        rows += fieldRow(tr("Severity"), fields.priority->severityText());
    } else {
        rows += fieldRow(tr("Syslog"), tr("not syslog"));
    }
    if (!fields.problem.isEmpty())
        rows += fieldRow(tr("Not read"), fields.problem);
    if (fields.version)
        rows += fieldRow(tr("Version"), QString::number(*fields.version));
    if (!fields.timestampText.isEmpty()) {
        QString time = fieldText(fields.timestampText);
        if (!fields.timeIsSet)
            time += tr(" (the sender's clock is not set)");
        const QString clock = clockDifferenceText(message, entry.arrival.timeNs);
        if (!clock.isEmpty())
            time += QStringLiteral(", %1").arg(clock);
        rows += fieldRow(tr("Time stamp"), time);
    }
    const std::pair<QString, QByteArrayView> header[] = {
        { tr("Host"), fields.hostname },
        { tr("Program"), fields.appName },
        { tr("Process"), fields.procId },
        { tr("Message id"), fields.msgId },
    };
    for (const auto &[name, value] : header) {
        if (!value.isEmpty())
            rows += fieldRow(name, fieldText(value));
    }
    if (fields.messageOffset >= 0) {
        rows += fieldRow(fields.hasBom ? tr("Message (UTF-8)") : tr("Message"),
                         escapedText(message.message.left(LongestShownMessage)));
    }
    m_fields->setText(QStringLiteral("<table>%1</table>").arg(rows));

    m_structuredData->setRowCount(0);
    for (const SyslogFields::Element &element : fields.structuredData) {
        const QList<SyslogFields::Parameter> parameters = element.parameters.isEmpty()
            ? QList<SyslogFields::Parameter> { {} }
            : element.parameters;
        for (const SyslogFields::Parameter &parameter : parameters) {
            const int row = m_structuredData->rowCount();
            m_structuredData->insertRow(row);
            m_structuredData->setItem(row, 0, new QTableWidgetItem(fieldText(element.id)));
            m_structuredData->setItem(row, 1, new QTableWidgetItem(fieldText(parameter.name)));
            m_structuredData->setItem(row, 2, new QTableWidgetItem(valueText(parameter.value)));
        }
    }
    m_structuredData->setVisible(!fields.structuredData.isEmpty());
    m_bytes->setPlainText(hexDump(payload));
    if (m_structuredData->isVisible())
        shareRoom();
}

void DatagramDetails::showNone(const QString &why)
{
    m_fields->setText(why);
    m_structuredData->setRowCount(0);
    m_structuredData->hide();
    m_bytes->clear();
}
