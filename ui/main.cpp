// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FRM_Harkline.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The name of the installed desktop entry, which the desktop shell matches the window to.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.harkline.Harkline"));
    FRM_Harkline window;
    window.show();
    return app.exec();
}
