// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_PORTHOLDER_H
#define HARKLINE_PORTHOLDER_H

#include <QString>

// Names the program that holds a UDP port, as far as the system lets this user see it: "Port 514
// is held by rsyslogd (process 612)." Where the program cannot be seen, says whose it is and no
// more. Empty when no socket on the port is found.
QString describeUdpPortHolder(int port);

#endif // HARKLINE_PORTHOLDER_H
