// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Privilege.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include <linux/capability.h>
#include <linux/securebits.h>
#include <sys/auxv.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Variables that name a place to load code from: Qt's plugin folders, and the modules GTK and
// GIO load when Qt's GTK platform theme is in use. With no capability left they could do no
// harm, but a program someone started with one is not one to take them from.
constexpr std::array CodeFromElsewhere {
    "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "GTK_MODULES",       "GTK3_MODULES",
    "GTK_PATH",       "GTK_IM_MODULE_FILE",          "GIO_EXTRA_MODULES", "GDK_PIXBUF_MODULE_FILE",
};

// Root gets no capability at exec, whatever its uids do, for good.
constexpr unsigned long NoRoot = SECBIT_NOROOT | SECBIT_NOROOT_LOCKED | SECBIT_NO_SETUID_FIXUP
    | SECBIT_NO_SETUID_FIXUP_LOCKED | SECBIT_KEEP_CAPS_LOCKED | SECBIT_NO_CAP_AMBIENT_RAISE
    | SECBIT_NO_CAP_AMBIENT_RAISE_LOCKED;

using Sets = std::array<__user_cap_data_struct, 2>;

bool readCapabilities(Sets &sets)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    return syscall(SYS_capget, &header, sets.data()) == 0;
}

bool writeCapabilities(Sets sets)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    return syscall(SYS_capset, &header, sets.data()) == 0;
}

bool anyCapability(const Sets &sets)
{
    const bool inSets =
        std::any_of(sets.begin(), sets.end(), [](const __user_cap_data_struct &set) {
            return set.permitted || set.effective || set.inheritable;
        });
    return inSets || prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_IS_SET, CAP_NET_BIND_SERVICE, 0, 0) == 1;
}

} // namespace

bool dropEveryPrivilege()
{
    Sets sets {};
    const bool read = readCapabilities(sets);
    if (getauxval(AT_SECURE) == 0 && read && !anyCapability(sets) && geteuid() != 0)
        return false; // an ordinary start: nothing to give up
    for (const char *variable : CodeFromElsewhere)
        unsetenv(variable);
    // These need CAP_SETPCAP, which only root's start has; without it there is nothing for a
    // later exec to regain.
    prctl(PR_SET_SECUREBITS, NoRoot, 0, 0, 0);
    for (int capability = 0; capability <= CAP_LAST_CAP; ++capability) {
        if (capability != CAP_NET_BIND_SERVICE)
            prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
    }
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    Sets none {};
    if (!writeCapabilities(none) || !readCapabilities(sets) || anyCapability(sets))
        std::abort(); // never go on holding what was meant to go
    if (geteuid() == 0) {
        std::fputs("harkline: started as root, which it does not need; it has given up every "
                   "capability and runs on without them.\n",
                   stderr);
    }
    return true;
}
