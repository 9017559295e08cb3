// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGNOTICES_H
#define HARKLINE_LOGNOTICES_H

#include <QList>
#include <QObject>
#include <QRect>
#include <QTimer>

class OverlayLabel;
class QWidget;

// The short notices of the log box, side by side in a strip under its text, never over a line:
// the datagrams the system dropped since the user last looked, those not kept for the saves, a
// save's progress, how many earlier lines are kept aside, how many lines the view rules let
// through, a word on the last jump or save, and the lines that arrived below the view. A count of
// 0 hides its notice; without any notice the strip takes no room. Where they do not fit, the
// longest are cut at the end, the whole in their tooltips.
class LogNotices : public QObject
{
    Q_OBJECT

public:
    explicit LogNotices(QWidget *box);

    // 'searching': the find field is open, and it does not look in them.
    void showEarlier(qint64 lines, bool searching);
    void showDropped(quint64 datagrams);
    void showNewBelow(qint64 lines);
    // 'total' 0: no rule is on.
    void showShowing(qint64 shown, qint64 total);
    // Datagrams that arrived but were not kept for the saves, and why.
    void showNotKept(qint64 datagrams, const QString &why);
    // How far a save got; empty hides it.
    void showSaving(const QString &text, const QString &details);
    // Why alerts cannot reach the desktop's notifications; empty hides it.
    void showNotificationsMissing(const QString &why);
    // Shows 'text' for a moment, 'details' in its tooltip.
    void flash(const QString &text, const QString &details = {});
    // The strip's height while it has a notice to show, else 0.
    int stripHeight() const;
    // Puts the strip in 'area', as high as stripHeight().
    void layout(const QRect &area);

signals:
    // A notice went of itself: the strip may need to go too.
    void changed();
    void droppedClicked();
    void newBelowClicked();
    void showingClicked();
    void savingClicked();

private:
    QList<OverlayLabel *> shown() const;

    QWidget *m_strip;
    OverlayLabel *m_earlier;
    OverlayLabel *m_dropped;
    OverlayLabel *m_notKept;
    OverlayLabel *m_saving;
    OverlayLabel *m_newBelow;
    OverlayLabel *m_showing;
    OverlayLabel *m_unnotified;
    OverlayLabel *m_flash;
    QTimer m_flashTimer;
};

#endif // HARKLINE_LOGNOTICES_H
