// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString DesktopId = QStringLiteral("org.harkline.Harkline");
// The action a click on the notification itself invokes.
const QString DefaultAction = QStringLiteral("default");
// The service decides how long a notification stays.
constexpr int ServerTimeout = -1;

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : QObject(parent)
    , m_bus(QDBusConnection::sessionBus())
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(closed(uint, uint)));
}

void DesktopNotifier::notify(int key, const QString &summary, const QString &body, qint64 arrival)
{
    if (!m_bus.isConnected()) {
        failed(tr("there is no session bus"));
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    const QVariantMap hints { { QStringLiteral("desktop-entry"), DesktopId } };
    // The body may be read as markup: what the network sent must not become any.
    call << QGuiApplication::applicationDisplayName() << m_shown.value(key) << DesktopId << summary
         << body.toHtmlEscaped() << QStringList { DefaultAction, tr("Show") } << hints
         << ServerTimeout;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key, arrival](QDBusPendingCallWatcher *answer) {
                answer->deleteLater();
                const QDBusPendingReply<uint> reply = *answer;
                if (reply.isError()) {
                    failed(reply.error().message());
                    return;
                }
                m_arrivals.remove(m_shown.value(key));
                m_shown.insert(key, reply.value());
                m_arrivals.insert(reply.value(), arrival);
                if (std::exchange(m_failing, false))
                    emit unavailable({});
            });
}

void DesktopNotifier::actionInvoked(uint id, const QString &action)
{
    if (action == DefaultAction && m_arrivals.contains(id))
        emit activated(m_arrivals.value(id));
}

void DesktopNotifier::closed(uint id, uint /*reason*/)
{
    m_arrivals.remove(id);
    for (auto shown = m_shown.begin(); shown != m_shown.end(); ++shown) {
        if (shown.value() == id) {
            m_shown.erase(shown);
            break;
        }
    }
}

void DesktopNotifier::failed(const QString &why)
{
    if (!std::exchange(m_failing, true))
        emit unavailable(why);
}
