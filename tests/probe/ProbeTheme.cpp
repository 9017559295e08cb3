// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A platform-theme plugin as Qt finds it, in a folder that -platformpluginpath names, when
// -platformtheme names "probe": its library's probe runs as Qt loads it. (It is no theme; Qt finds
// that out only once it has loaded the library.)

#include <QObject>

class ProbeThemePlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformThemeFactoryInterface.5.1" FILE
                          "probe.json")
};

#include "ProbeTheme.moc"
