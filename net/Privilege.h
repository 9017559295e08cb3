// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_PRIVILEGE_H
#define HARKLINE_PRIVILEGE_H

// Harkline never holds a privilege. Binding a UDP port below 1024 is the one step that needs one,
// and its helper takes it (BindHelper.h).

// First thing in main, before any thread or the toolkit starts: when the process started with any
// capability (a file capability someone gave the program, capabilities it inherited, or root's),
// or in secure-execution mode (AT_SECURE), drops every capability for good, as far as the system
// lets it: permitted, effective, inheritable, ambient, the bounding set but for the one the
// helper's own file capability needs, and root's special treatment at a later exec (the secure
// bits, locked). Returns whether it started so; the toolkit must then take nothing from the
// command line.
bool dropEveryPrivilege();

#endif // HARKLINE_PRIVILEGE_H
