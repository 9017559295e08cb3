// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Privilege.h"

#include <array>
#include <cerrno>
#include <cstdlib>

#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Variables that name a place to load code from: Qt's plugin folders, and the modules GTK and
// GIO load when Qt's GTK platform theme is in use. Names of plugins (QT_QPA_PLATFORM and the
// like) are safe: without these, plugins come from the system's folders alone.
constexpr std::array CodeFromElsewhere {
    "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "GTK_MODULES",       "GTK3_MODULES",
    "GTK_PATH",       "GTK_IM_MODULE_FILE",          "GIO_EXTRA_MODULES", "GDK_PIXBUF_MODULE_FILE",
};

constexpr unsigned BindBit = 1u << CAP_NET_BIND_SERVICE; // in the first of the two words

struct Capabilities
{
    std::array<__user_cap_data_struct, 2> sets {};

    bool read()
    {
        __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
        return syscall(SYS_capget, &header, sets.data()) == 0;
    }
    bool write()
    {
        __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
        return syscall(SYS_capset, &header, sets.data()) == 0;
    }
    bool any() const
    {
        return sets[0].permitted || sets[1].permitted || sets[0].effective || sets[1].effective;
    }
};

} // namespace

void keepOnlyTheBindPrivilege()
{
    Capabilities capabilities;
    const bool read = capabilities.read();
    if (getauxval(AT_SECURE) == 0 && read && !capabilities.any())
        return; // an ordinary start: nothing to give up
    for (const char *variable : CodeFromElsewhere)
        unsetenv(variable);
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    const unsigned bind = read ? capabilities.sets[0].permitted & BindBit : 0;
    capabilities.sets = {};
    capabilities.sets[0].permitted = bind;
    if (!capabilities.write())
        std::abort(); // never go on with more than was meant
}

bool mayRaiseBindPrivilege()
{
    Capabilities capabilities;
    return capabilities.read() && (capabilities.sets[0].permitted & BindBit) != 0;
}

int bindWithPrivilege(int socket, const sockaddr *address, socklen_t length)
{
    Capabilities capabilities;
    if (!capabilities.read() || !(capabilities.sets[0].permitted & BindBit)) {
        errno = EACCES;
        return -1;
    }
    capabilities.sets[0].effective |= BindBit;
    if (!capabilities.write()) {
        errno = EACCES;
        return -1;
    }
    const int result = ::bind(socket, address, length);
    const int error = errno;
    capabilities.sets[0].effective &= ~BindBit;
    if (!capabilities.write())
        std::abort();
    errno = error;
    return result;
}
