// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A second yardstick for start-up time: the least a Qt Widgets program does to show a window with
// one line of text, which is when Qt first loads the system's fonts.

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("UDP Port"));
    window.resize(404, 150);
    window.show();
    return app.exec();
}
