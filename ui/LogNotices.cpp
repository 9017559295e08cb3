// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogNotices.h"

#include "ArrivalText.h"
#include "OverlayLabel.h"

#include <QTimer>

namespace {

// Between a notice and the edge of the text, or another notice.
constexpr int Gap = 2;
// Long enough to read a word or two.
constexpr int FlashMs = 2500;

} // namespace

LogNotices::LogNotices(QWidget *box)
    : QObject(box)
    , m_earlier(new OverlayLabel(box))
    , m_dropped(new OverlayLabel(box))
    , m_newBelow(new OverlayLabel(box))
    , m_showing(new OverlayLabel(box))
    , m_flash(new OverlayLabel(box))
{
    m_showing->setObjectName(QStringLiteral("showingLines"));
    m_showing->setToolTip(tr("Click, or press Ctrl+Shift+A, to show every line again."));
    m_flash->setObjectName(QStringLiteral("jumpNotice"));
    m_flashTimer.setSingleShot(true);
    m_flashTimer.setInterval(FlashMs);
    connect(&m_flashTimer, &QTimer::timeout, m_flash, &QWidget::hide);
    connect(m_showing, &OverlayLabel::clicked, this, &LogNotices::showingClicked);
    m_earlier->setObjectName(QStringLiteral("earlierLines"));
    m_dropped->setObjectName(QStringLiteral("droppedDatagrams"));
    m_newBelow->setObjectName(QStringLiteral("newLinesBelow"));
    m_newBelow->setToolTip(tr("Click, or press End, to follow the newest lines again."));
    connect(m_dropped, &OverlayLabel::clicked, this, &LogNotices::droppedClicked);
    connect(m_newBelow, &OverlayLabel::clicked, this, &LogNotices::newBelowClicked);
}

void LogNotices::showEarlier(qint64 lines, bool searching)
{
    m_earlier->setVisible(lines > 0);
    if (lines <= 0)
        return;
    const QString count = countText(quint64(lines));
    if (searching) {
        m_earlier->setText(tr("%1 earlier lines kept aside: not searched").arg(count));
        m_earlier->setToolTip(tr("Find looks in the lines in the box. Both saves include the "
                                 "first %1 lines, kept aside in memory.")
                                  .arg(count));
    } else {
        m_earlier->setText(tr("%1 earlier lines kept aside").arg(count));
        m_earlier->setToolTip(tr("The log grew too long for the box: its first %1 lines are kept "
                                 "in memory, and both saves include them.")
                                  .arg(count));
    }
}

void LogNotices::showDropped(quint64 datagrams)
{
    m_dropped->setVisible(datagrams > 0);
    if (datagrams == 0)
        return;
    m_dropped->setText(tr("%1 dropped").arg(countText(datagrams)));
    m_dropped->setToolTip(tr("%1 datagrams dropped by the system since Start. Click to see where.")
                              .arg(countText(datagrams)));
}

void LogNotices::showNewBelow(qint64 lines)
{
    m_newBelow->setVisible(lines > 0);
    if (lines > 0) {
        m_newBelow->setText(lines == 1 ? tr("1 new line below")
                                       : tr("%1 new lines below").arg(countText(quint64(lines))));
    }
}

void LogNotices::showShowing(qint64 shown, qint64 total)
{
    m_showing->setVisible(total > 0);
    if (total > 0) {
        m_showing->setText(
            tr("Showing %1 of %2 lines").arg(countText(quint64(shown)), countText(quint64(total))));
    }
}

void LogNotices::flash(const QString &text)
{
    m_flash->setText(text);
    m_flash->show();
    m_flash->raise();
    m_flashTimer.start();
}

void LogNotices::layout(const QRect &area, int top)
{
    for (OverlayLabel *label : { m_earlier, m_dropped, m_newBelow, m_showing, m_flash })
        label->adjustSize();
    m_showing->move(area.right() - m_showing->width() - Gap, top + Gap);
    m_flash->move(area.right() - m_flash->width() - Gap,
                  m_showing->isVisible() ? m_showing->geometry().bottom() + Gap : top + Gap);
    m_earlier->move(area.left() + Gap, top + Gap);
    for (const OverlayLabel *right : { m_showing, m_flash }) {
        if (m_earlier->isVisible() && right->isVisible()
            && m_earlier->geometry().intersects(right->geometry()))
            m_earlier->move(m_earlier->x(), right->geometry().bottom() + Gap);
    }
    m_dropped->move(area.left() + Gap, area.bottom() - m_dropped->height() - Gap);
    m_newBelow->move(area.right() - m_newBelow->width() - Gap,
                     area.bottom() - m_newBelow->height() - Gap);
    if (m_dropped->isVisible() && m_newBelow->isVisible()
        && m_dropped->geometry().intersects(m_newBelow->geometry()))
        m_dropped->move(m_dropped->x(), m_newBelow->y() - m_dropped->height() - Gap);
}
