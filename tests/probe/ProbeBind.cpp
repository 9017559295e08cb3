// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Code a user could steer into a program (a library to preload, a toolkit plugin): as soon as it
// is loaded it tries to bind TCP port 81 and UDP port 82, which only a privileged process may,
// and appends what happened to the file named by HARKLINE_PROBE_LOG.

#include <cstdio>
#include <cstdlib>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char *tryBind(int type, int port)
{
    const int socket = ::socket(AF_INET, type, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    const bool bound = bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    close(socket);
    return bound ? "bound" : "refused";
}

__attribute__((constructor)) void probe()
{
    const char *log = std::getenv("HARKLINE_PROBE_LOG");
    if (!log)
        return;
    if (FILE *out = std::fopen(log, "a")) {
        std::fprintf(out, "%s: tcp 81 %s, udp 82 %s\n", PROBE_NAME, tryBind(SOCK_STREAM, 81),
                     tryBind(SOCK_DGRAM, 82));
        std::fclose(out);
    }
}

} // namespace
