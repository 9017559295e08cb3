// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Timeline.h"

#include "LogMargin.h"
#include "TimeCounts.h"
#include "TimeStamps.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <array>

namespace {

// The lengths a bar may last, in seconds: the shortest that fits the span is taken.
constexpr std::array<qint64, 18> BarLengths {
    1,   2,   5,    10,   15,   30,    60,    120,   300,
    600, 900, 1800, 3600, 7200, 10800, 21600, 43200, SecondsPerDay,
};
// Narrower bars could not be told apart or pointed at.
constexpr int LeastBarWidth = 4;
constexpr int Height = 90;
// Drops take at most this share of the height, below the axis.
constexpr int DropShare = 4;
constexpr int Margin = 4;
// The wheel zooms by this factor a notch.
constexpr qint64 ZoomFactor = 2;
const QColor DropColor(200, 0, 0);
const QColor NoPriorityColor(170, 170, 170);
// Severities standing for each kind: error, warning, informational.
constexpr int ProblemSeverity = 3;
constexpr int WarningSeverity = 4;
constexpr int OtherSeverity = 6;

QString timeText(qint64 second, const QString &format)
{
    return QDateTime::fromSecsSinceEpoch(second).toString(format);
}

QString lengthText(qint64 seconds)
{
    if (seconds % SecondsPerDay == 0)
        return Timeline::tr("%n day(s)", nullptr, int(seconds / SecondsPerDay));
    if (seconds % SecondsPerHour == 0)
        return Timeline::tr("%n h", nullptr, int(seconds / SecondsPerHour));
    if (seconds % SecondsPerMinute == 0)
        return Timeline::tr("%n min", nullptr, int(seconds / SecondsPerMinute));
    return Timeline::tr("%n s", nullptr, int(seconds));
}

} // namespace

Timeline::Timeline(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("timeline"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

QSize Timeline::sizeHint() const
{
    return { 400, Height };
}

void Timeline::setCounts(const TimeCounts *counts)
{
    m_counts = counts;
    update();
}

void Timeline::setRowsInView(qint64 firstNs, qint64 lastNs)
{
    m_viewFromNs = firstNs;
    m_viewToNs = lastNs;
    update();
}

QRect Timeline::barsArea() const
{
    return rect().adjusted(Margin, Margin, -Margin, -(Margin + fontMetrics().height()));
}

Timeline::Span Timeline::span() const
{
    if (m_zoomed)
        return *m_zoomed;
    if (!m_counts || m_counts->isEmpty())
        return {};
    return { m_counts->firstSecond(), m_counts->lastSecond() + 1 };
}

qint64 Timeline::barSeconds(const Span &span) const
{
    const qint64 bars = std::max(1, barsArea().width() / LeastBarWidth);
    const auto fits = std::find_if(BarLengths.begin(), BarLengths.end(), [&](qint64 length) {
        return (span.to - span.from + length - 1) / length <= bars;
    });
    return fits != BarLengths.end() ? *fits : BarLengths.back();
}

std::optional<qint64> Timeline::barAt(int x) const
{
    const Span shown = span();
    const QRect area = barsArea();
    if (shown.to <= shown.from || x < area.left() || x > area.right())
        return std::nullopt;
    const qint64 length = barSeconds(shown);
    const qint64 second = shown.from + (x - area.left()) * (shown.to - shown.from) / area.width();
    return second - ((second % length) + length) % length;
}

void Timeline::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const Span shown = span();
    const QRect area = barsArea();
    if (!m_counts || shown.to <= shown.from || area.width() <= 0) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(area, Qt::AlignCenter, tr("Nothing has arrived yet"));
        return;
    }
    const qint64 length = barSeconds(shown);
    const qint64 first = shown.from - ((shown.from % length) + length) % length;
    const auto xOf = [&](qint64 second) {
        return area.left() + int((second - shown.from) * area.width() / (shown.to - shown.from));
    };
    std::vector<TimeCounts::Counts> bars;
    qint64 most = 1;
    qint64 mostDropped = 1;
    for (qint64 bar = first; bar < shown.to; bar += length) {
        const TimeCounts::Counts counts = m_counts->sum(bar, bar + length);
        most = std::max(most,
                        counts[TimeCounts::Problems] + counts[TimeCounts::Warnings]
                            + counts[TimeCounts::Others] + counts[TimeCounts::NoPriority]);
        mostDropped = std::max(mostDropped, counts[TimeCounts::Dropped]);
        bars.push_back(counts);
    }
    const int axis = area.bottom() - area.height() / DropShare;
    const int up = axis - area.top();
    const int down = area.bottom() - axis;
    // The rows in view, behind the bars.
    if (m_viewToNs >= m_viewFromNs) {
        const int left = xOf(m_viewFromNs / NsPerSecond);
        const int right = std::max(left + 1, xOf(m_viewToNs / NsPerSecond + 1));
        painter.fillRect(QRect(QPoint(left, area.top()), QPoint(right, area.bottom())),
                         palette().color(QPalette::AlternateBase).darker(110));
    }
    static const std::array<std::pair<TimeCounts::Kind, QColor>, 4> Stack {
        std::pair { TimeCounts::Problems, LogMargin::severityColor(ProblemSeverity) },
        std::pair { TimeCounts::Warnings, LogMargin::severityColor(WarningSeverity) },
        std::pair { TimeCounts::Others, LogMargin::severityColor(OtherSeverity) },
        std::pair { TimeCounts::NoPriority, NoPriorityColor },
    };
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const qint64 bar = first + qint64(i) * length;
        const int left = std::max(area.left(), xOf(bar));
        const int width = std::max(1, xOf(bar + length) - left - 1);
        int top = axis;
        // The most urgent nearest the axis, so that errors show even in a tall bar.
        for (const auto &[kind, colour] : Stack) {
            const qint64 count = bars[i][kind];
            if (count == 0)
                continue;
            const int height = std::max(1, int(count * up / most));
            painter.fillRect(left, top - height, width, height, colour);
            top -= height;
        }
        if (const qint64 dropped = bars[i][TimeCounts::Dropped]) {
            painter.fillRect(left, axis + 1, width, std::max(1, int(dropped * down / mostDropped)),
                             DropColor);
        }
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(area.left(), axis, area.right(), axis);
    painter.setPen(palette().color(QPalette::Text));
    const QRect labels(area.left(), area.bottom() + 1, area.width(), fontMetrics().height());
    const QString format = shown.to - shown.from > SecondsPerDay
        ? QStringLiteral("yyyy-MM-dd HH:mm")
        : QStringLiteral("HH:mm:ss");
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, timeText(shown.from, format));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, timeText(shown.to - 1, format));
    painter.drawText(labels, Qt::AlignHCenter | Qt::AlignVCenter,
                     tr("a bar: %1%2")
                         .arg(lengthText(length),
                              m_zoomed ? tr(" · zoomed: the wheel back shows all") : QString()));
}

void Timeline::wheelEvent(QWheelEvent *event)
{
    const Span shown = span();
    const QRect area = barsArea();
    if (shown.to <= shown.from || area.width() <= 0 || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    // Around the time under the pointer: it stays where it is.
    const qint64 length = shown.to - shown.from;
    const double at = std::clamp((event->position().x() - area.left()) / area.width(), 0.0, 1.0);
    const qint64 pivot = shown.from + qint64(at * double(length));
    const qint64 zoomed = event->angleDelta().y() > 0 ? std::max<qint64>(1, length / ZoomFactor)
                                                      : length * ZoomFactor;
    m_zoomed = Span { pivot - qint64(at * double(zoomed)), 0 };
    m_zoomed->to = m_zoomed->from + zoomed;
    const Span whole = m_counts && !m_counts->isEmpty()
        ? Span { m_counts->firstSecond(), m_counts->lastSecond() + 1 }
        : Span {};
    if (m_zoomed->from <= whole.from && m_zoomed->to >= whole.to)
        m_zoomed.reset(); // all of it again, following what comes
    update();
    event->accept();
}

void Timeline::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const std::optional<qint64> bar = barAt(int(event->position().x())))
        emit secondClicked(*bar);
}

bool Timeline::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const std::optional<qint64> bar = barAt(help->pos().x());
    if (!bar || !m_counts) {
        QToolTip::hideText();
        return true;
    }
    const qint64 length = barSeconds(span());
    const TimeCounts::Counts counts = m_counts->sum(*bar, *bar + length);
    const qint64 all = counts[TimeCounts::Problems] + counts[TimeCounts::Warnings]
        + counts[TimeCounts::Others] + counts[TimeCounts::NoPriority];
    QToolTip::showText(
        help->globalPos(),
        tr("%1 to %2\n%L3 rows: %L4 errors or worse, %L5 warnings, %L6 others, %L7 without a "
           "priority\n%L8 dropped by the system")
            .arg(timeText(*bar, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 timeText(*bar + length, QStringLiteral("HH:mm:ss")))
            .arg(all)
            .arg(counts[TimeCounts::Problems])
            .arg(counts[TimeCounts::Warnings])
            .arg(counts[TimeCounts::Others])
            .arg(counts[TimeCounts::NoPriority])
            .arg(counts[TimeCounts::Dropped]),
        this);
    return true;
}
