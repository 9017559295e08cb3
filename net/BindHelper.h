// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BINDHELPER_H
#define HARKLINE_BINDHELPER_H

#include <QString>

// Harkline's small helper program, harkline-bind, which alone carries the capability to bind a
// port below 1024: run with the port, it binds a UDP socket there and hands it back.

// Where the helper is installed: libexec/harkline/ beside the program's own bin/.
QString bindHelperPath();

// A UDP socket bound to 'port' by the helper at 'helper', or -1 with the reason in 'error' (an
// errno value: ENOENT when there is no helper, EACCES when it may not bind the port).
int bindThroughHelper(const QString &helper, int port, int *error);

#endif // HARKLINE_BINDHELPER_H
