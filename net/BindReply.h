// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BINDREPLY_H
#define HARKLINE_BINDREPLY_H

#include <cstdint>

// What the bind helper sends back on the socket pair it was given as its standard input: one
// message holding this, and with it the bound socket (SCM_RIGHTS) when 'error' is 0.
struct BindReply
{
    // The errno of what failed, or 0; EPERM: a port the helper does not bind.
    std::int32_t error = 0;
};

// Below this, binding a port is a privilege (the cap_net_bind_service capability).
constexpr int FirstUnprivilegedPort = 1024;

// The helper binds syslog's port, and the ports an administrator lists in this file, one a line.
constexpr int DefaultBindPort = 514;
#ifndef HARKLINE_BIND_PORTS_FILE
#define HARKLINE_BIND_PORTS_FILE "/etc/harkline/bind-ports"
#endif
constexpr const char *BindPortsFile = HARKLINE_BIND_PORTS_FILE;

#endif // HARKLINE_BINDREPLY_H
