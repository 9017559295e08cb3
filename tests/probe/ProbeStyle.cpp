// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A style plugin that Qt loads from QT_PLUGIN_PATH when QT_STYLE_OVERRIDE names "probe"; its
// library's probe runs as Qt loads it.

#include <QProxyStyle>
#include <QStylePlugin>

class ProbeStylePlugin : public QStylePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "probe.json")

public:
    QStyle *create(const QString &) override { return new QProxyStyle(QStringLiteral("fusion")); }
};

#include "ProbeStyle.moc"
