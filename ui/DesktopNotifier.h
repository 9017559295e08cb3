// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_DESKTOPNOTIFIER_H
#define HARKLINE_DESKTOPNOTIFIER_H

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

// Notifications through the desktop's notification service (org.freedesktop.Notifications on the
// session bus). Calls never wait for the service: the window goes on while it answers, or does
// not. A notification for a key replaces the key's last one while that still shows. Where there
// is no service, the first failure is told once.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    // 'arrival' is what a click on the notification asks to be shown.
    void notify(int key, const QString &summary, const QString &body, qint64 arrival);
    // A click on a notification shown so far asks for nothing: its datagram is gone.
    void forgetArrivals() { m_arrivals.clear(); }

signals:
    // The user clicked the notification of datagram 'arrival'.
    void activated(qint64 arrival);
    // Notifications cannot be shown, and why; told once. 'why' empty: they can again.
    void unavailable(const QString &why);

private Q_SLOTS:
    void actionInvoked(uint id, const QString &action);
    void closed(uint id, uint reason);

private:
    void failed(const QString &why);

    QDBusConnection m_bus;
    QHash<int, uint> m_shown; // key → the id of its notification while it shows
    QHash<uint, qint64> m_arrivals; // notification id → its datagram
    bool m_failing = false;
};

#endif // HARKLINE_DESKTOPNOTIFIER_H
