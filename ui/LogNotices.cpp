// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogNotices.h"

#include "ArrivalText.h"
#include "OverlayLabel.h"

#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

// Between a notice and the edge of the text, or another notice.
constexpr int Gap = 2;
// Long enough to read a few words and a file's name.
constexpr int FlashMs = 5000;

} // namespace

LogNotices::LogNotices(QWidget *box)
    : QObject(box)
    , m_strip(new QWidget(box))
    , m_earlier(new OverlayLabel(m_strip))
    , m_dropped(new OverlayLabel(m_strip))
    , m_notKept(new OverlayLabel(m_strip))
    , m_saving(new OverlayLabel(m_strip))
    , m_newBelow(new OverlayLabel(m_strip))
    , m_showing(new OverlayLabel(m_strip))
    , m_unnotified(new OverlayLabel(m_strip))
    , m_flash(new OverlayLabel(m_strip))
{
    m_strip->setObjectName(QStringLiteral("noticeStrip"));
    m_strip->hide();
    m_showing->setObjectName(QStringLiteral("showingLines"));
    m_flash->setObjectName(QStringLiteral("jumpNotice"));
    m_flashTimer.setSingleShot(true);
    m_flashTimer.setInterval(FlashMs);
    connect(&m_flashTimer, &QTimer::timeout, this, [this] {
        m_flash->hide();
        emit changed();
    });
    connect(m_showing, &OverlayLabel::clicked, this, &LogNotices::showingClicked);
    m_earlier->setObjectName(QStringLiteral("earlierLines"));
    m_dropped->setObjectName(QStringLiteral("droppedDatagrams"));
    m_notKept->setObjectName(QStringLiteral("notKept"));
    m_saving->setObjectName(QStringLiteral("saving"));
    m_newBelow->setObjectName(QStringLiteral("newLinesBelow"));
    m_unnotified->setObjectName(QStringLiteral("notificationsMissing"));
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

void LogNotices::showNotificationsMissing(const QString &why)
{
    m_unnotified->setVisible(!why.isEmpty());
    m_unnotified->setFullText(tr("Alerts: no desktop notifications"),
                              tr("Alerts still mark their lines and ask for attention, but the "
                                 "desktop's notifications cannot be shown: %1.")
                                  .arg(why));
    emit changed();
}

void LogNotices::flash(const QString &text, const QString &details)
{
    m_flash->setFullText(text, details);
    m_flash->show();
    m_flashTimer.start();
}

QList<OverlayLabel *> LogNotices::shown() const
{
    QList<OverlayLabel *> shown;
    for (OverlayLabel *label : { m_dropped, m_notKept, m_unnotified, m_saving, m_earlier, m_showing,
                                 m_flash, m_newBelow }) {
        if (!label->isHidden())
            shown << label;
    }
    return shown;
}

int LogNotices::stripHeight() const
{
    return shown().isEmpty() ? 0 : m_flash->sizeHint().height() + 2 * Gap;
}

void LogNotices::layout(const QRect &area)
{
    const QList<OverlayLabel *> labels = shown();
    m_strip->setGeometry(area);
    m_strip->setVisible(!labels.isEmpty());
    // The shortest take what they need, and the longer share what is left.
    QList<OverlayLabel *> byLength = labels;
    std::sort(byLength.begin(), byLength.end(), [](const OverlayLabel *a, const OverlayLabel *b) {
        return a->fullWidth() < b->fullWidth();
    });
    int room = area.width() - Gap * int(labels.size() + 1);
    for (qsizetype i = 0; i < byLength.size(); ++i) {
        OverlayLabel *label = byLength.at(i);
        label->fitTo(std::min(label->fullWidth(), room / int(byLength.size() - i)));
        room -= label->width();
    }
    int x = Gap;
    for (OverlayLabel *label : labels) {
        label->move(x, Gap);
        x += label->width() + Gap;
    }
}
