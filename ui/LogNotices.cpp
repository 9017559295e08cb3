// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogNotices.h"

#include "ArrivalText.h"
#include "OverlayLabel.h"

#include <QTimer>

namespace {

// Between a notice and the edge of the text, or another notice.
constexpr int Gap = 2;
// Long enough to read a few words and a file's name.
constexpr int FlashMs = 5000;

} // namespace

LogNotices::LogNotices(QWidget *box)
    : QObject(box)
    , m_earlier(new OverlayLabel(box))
    , m_dropped(new OverlayLabel(box))
    , m_notKept(new OverlayLabel(box))
    , m_saving(new OverlayLabel(box))
    , m_newBelow(new OverlayLabel(box))
    , m_showing(new OverlayLabel(box))
    , m_flash(new OverlayLabel(box))
{
    m_showing->setObjectName(QStringLiteral("showingLines"));
    m_flash->setObjectName(QStringLiteral("jumpNotice"));
    m_flashTimer.setSingleShot(true);
    m_flashTimer.setInterval(FlashMs);
    connect(&m_flashTimer, &QTimer::timeout, m_flash, &QWidget::hide);
    connect(m_showing, &OverlayLabel::clicked, this, &LogNotices::showingClicked);
    m_earlier->setObjectName(QStringLiteral("earlierLines"));
    m_dropped->setObjectName(QStringLiteral("droppedDatagrams"));
    m_notKept->setObjectName(QStringLiteral("notKept"));
    m_saving->setObjectName(QStringLiteral("saving"));
    m_newBelow->setObjectName(QStringLiteral("newLinesBelow"));
    connect(m_dropped, &OverlayLabel::clicked, this, &LogNotices::droppedClicked);
    connect(m_newBelow, &OverlayLabel::clicked, this, &LogNotices::newBelowClicked);
    connect(m_saving, &OverlayLabel::clicked, this, &LogNotices::savingClicked);
}

void LogNotices::showEarlier(qint64 lines, bool searching)
{
    m_earlier->setVisible(lines > 0);
    if (lines <= 0)
        return;
    const QString count = countText(quint64(lines));
    if (searching) {
        m_earlier->setFullText(tr("%1 earlier lines kept aside: not searched").arg(count),
                               tr("Find looks in the lines in the box. Both saves include the "
                                  "first %1 lines, kept aside.")
                                   .arg(count));
    } else {
        m_earlier->setFullText(tr("%1 earlier lines kept aside").arg(count),
                               tr("The log grew too long for the box: its first %1 lines are "
                                  "kept aside, and both saves include them.")
                                   .arg(count));
    }
}

void LogNotices::showDropped(quint64 datagrams)
{
    m_dropped->setVisible(datagrams > 0);
    if (datagrams == 0)
        return;
    m_dropped->setFullText(tr("%1 dropped").arg(countText(datagrams)),
                           tr("%1 datagrams dropped by the system since Start. Click to see where.")
                               .arg(countText(datagrams)));
}

void LogNotices::showNewBelow(qint64 lines)
{
    m_newBelow->setVisible(lines > 0);
    if (lines > 0) {
        m_newBelow->setFullText(lines == 1
                                    ? tr("1 new line below")
                                    : tr("%1 new lines below").arg(countText(quint64(lines))),
                                tr("Click, or press End, to follow the newest lines again."));
    }
}

void LogNotices::showShowing(qint64 shown, qint64 total)
{
    m_showing->setVisible(total > 0);
    if (total > 0) {
        m_showing->setFullText(
            tr("Showing %1 of %2 lines").arg(countText(quint64(shown)), countText(quint64(total))),
            tr("Click, or press Ctrl+Shift+A, to show every line again."));
    }
}

void LogNotices::showNotKept(qint64 datagrams, const QString &why)
{
    m_notKept->setVisible(datagrams > 0);
    if (datagrams > 0) {
        m_notKept->setFullText(
            tr("%1 not kept for the saves").arg(countText(quint64(datagrams))),
            tr("%1 datagrams arrived and were shown but are not kept for the saves: %2.")
                .arg(countText(quint64(datagrams)), why));
    }
}

void LogNotices::showSaving(const QString &text, const QString &details)
{
    m_saving->setVisible(!text.isEmpty());
    m_saving->setFullText(text, details);
}

void LogNotices::flash(const QString &text, const QString &details)
{
    m_flash->setFullText(text, details);
    m_flash->show();
    m_flash->raise();
    m_flashTimer.start();
}

void LogNotices::layout(const QRect &area, int top)
{
    const int room = area.width() - 2 * Gap;
    for (OverlayLabel *label :
         { m_earlier, m_dropped, m_notKept, m_saving, m_newBelow, m_showing, m_flash })
        label->fitTo(room);
    m_showing->move(area.right() - m_showing->width() - Gap, top + Gap);
    m_flash->move(area.right() - m_flash->width() - Gap,
                  m_showing->isVisible() ? m_showing->geometry().bottom() + Gap : top + Gap);
    m_earlier->move(area.left() + Gap, top + Gap);
    for (const OverlayLabel *right : { m_showing, m_flash }) {
        if (m_earlier->isVisible() && right->isVisible()
            && m_earlier->geometry().intersects(right->geometry()))
            m_earlier->move(m_earlier->x(), right->geometry().bottom() + Gap);
    }
    m_newBelow->move(area.right() - m_newBelow->width() - Gap,
                     area.bottom() - m_newBelow->height() - Gap);
    // From the bottom up, each above the one before where they would meet.
    int bottom = area.bottom();
    for (OverlayLabel *left : { m_dropped, m_notKept, m_saving }) {
        if (!left->isVisible())
            continue;
        left->move(area.left() + Gap, bottom - left->height() - Gap);
        if (m_newBelow->isVisible() && left->geometry().intersects(m_newBelow->geometry()))
            left->move(left->x(), m_newBelow->y() - left->height() - Gap);
        bottom = left->y();
    }
}
