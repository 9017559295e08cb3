// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogMargin.h"

#include "ArrivalText.h"
#include "Highlights.h"
#include "LineFilter.h"
#include "LineJumps.h"
#include "LogLines.h"
#include "LogModel.h"
#include "LogPainter.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

namespace {

// A smaller font than the log's, so that the text keeps most of the box.
constexpr qreal FontScale = 0.85;
// Left to right: the severity mark, the sender's colour, the time, the sender; the user's mark at
// the right edge.
constexpr int SeverityMarkWidth = 3;
constexpr int SenderMarkWidth = 2;
constexpr int TimeLeft = 6;
constexpr int UserMarkWidth = 4;
constexpr int RightPadding = 4;
const QString TimeTemplate = QStringLiteral("00:00:00.000 ");
// The margin starts wide enough for an IPv4 sender; a wider one widens it, up to this share of
// the box.
const QString NarrowestSender = QStringLiteral("127.0.0.1:65535");
constexpr int MostOfBox = 2;
// A loss: a line across the top of the line, and a light tint of the same red behind it.
constexpr int LossLineHeight = 2;
constexpr int LossTintAlpha = 48;

} // namespace

const QColor LogMargin::LossColor(0xd3, 0x2f, 0x2f);

QColor LogMargin::severityColor(int severity)
{
    switch (severity) {
    case 0:
    case 1:
    case 2:
        return { 0xd3, 0x2f, 0x2f }; // emergency, alert, critical
    case 3:
        return { 0xf4, 0x51, 0x1e }; // error
    case 4:
        return { 0xf9, 0xa8, 0x25 }; // warning
    case 5:
        return { 0x1e, 0x88, 0xe5 }; // notice
    case 6:
        return { 0x43, 0xa0, 0x47 }; // informational
    default:
        return { 0x9e, 0x9e, 0x9e }; // debug
    }
}

LogMargin::LogMargin(QWidget *box, const LogLines &lines, const LogModel &model)
    : QWidget(box)
    , m_lines(lines)
    , m_model(model)
{
    setObjectName(QStringLiteral("logMargin"));
    hide();
}

void LogMargin::setSenderColours(bool on)
{
    m_senderColours = on;
    update();
}

QFont LogMargin::marginFont() const
{
    QFont small = parentWidget()->font();
    small.setPointSizeF(small.pointSizeF() * FontScale);
    return small;
}

int LogMargin::preferredWidth() const
{
    const QFontMetrics metrics(marginFont());
    const int senderWidth = std::max(m_senderWidth, metrics.horizontalAdvance(NarrowestSender));
    return TimeLeft + metrics.horizontalAdvance(TimeTemplate) + senderWidth + RightPadding;
}

QSize LogMargin::sizeHint() const
{
    return { preferredWidth(), 0 };
}

void LogMargin::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().color(QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(width() - 1, exposed.top(), width() - 1, exposed.bottom());

    painter.setFont(marginFont());
    const QFontMetrics metrics(marginFont());
    const int senderLeft = TimeLeft + metrics.horizontalAdvance(TimeTemplate);
    const int senderRoom = width() - senderLeft - RightPadding;
    const int lineHeight = parentWidget()->fontMetrics().height();
    int widest = m_senderWidth;
    for (const LogLines::VisibleLine &visible : m_lines.visibleLines()) {
        if (visible.top > exposed.bottom())
            break;
        if (visible.top + visible.height < exposed.top())
            continue;
        const QRect line(0, visible.top, width(), lineHeight);
        if (m_jumps && m_jumps->isMarked(visible.block)) {
            painter.fillRect(line.right() - UserMarkWidth, line.y(), UserMarkWidth, line.height(),
                             LogPainter::MarkColor);
        }
        const std::optional<qint64> index = m_model.lines().firstLineArrival(visible.block);
        const std::optional<ArrivalEntry> kept =
            index ? m_model.arrivals().at(*index) : std::nullopt;
        if (!kept)
            continue;
        const ArrivalEntry &entry = *kept;
        if (entry.priority) {
            painter.fillRect(line.x(), line.y(), SeverityMarkWidth, line.height(),
                             severityColor(entry.priority->severity()));
        }
        if (m_senderColours) {
            painter.fillRect(line.x() + SeverityMarkWidth, line.y(), SenderMarkWidth, line.height(),
                             Highlights::senderColor(entry.arrival));
        }
        if (m_filter ? m_filter->followsLoss(visible.block) : entry.arrival.droppedBefore > 0) {
            QColor tint = LossColor;
            tint.setAlpha(LossTintAlpha);
            painter.fillRect(line, tint);
            painter.fillRect(line.x(), line.y(), line.width(), LossLineHeight, LossColor);
        }
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(line.adjusted(TimeLeft, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         marginTime(entry.arrival.timeNs));
        // The host and program the message names, after the sender.
        const QByteArray payload = m_model.arrivals().payload(*index);
        const QString named = hostAndProgram(SyslogFields::read(payload, entry.arrival.timeNs));
        const QString sender = named.isEmpty()
            ? entry.arrival.senderText()
            : QStringLiteral("%1  %2").arg(entry.arrival.senderText(), named);
        widest = std::max(widest, metrics.horizontalAdvance(sender));
        painter.drawText(line.adjusted(senderLeft, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(sender, Qt::ElideMiddle, senderRoom));
    }
    widest = std::min(widest, parentWidget()->width() / MostOfBox - senderLeft);
    if (widest > m_senderWidth) {
        m_senderWidth = widest;
        emit preferredWidthChanged();
    }
}

void LogMargin::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QTextBlock line = m_lines.lineAt(int(event->position().y()));
    if (line.isValid())
        emit lineDoubleClicked(line);
}

bool LogMargin::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = m_model.detailsOf(m_lines.lineAt(help->pos().y()));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}
