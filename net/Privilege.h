// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_PRIVILEGE_H
#define HARKLINE_PRIVILEGE_H

#include <sys/socket.h>

// Binding a UDP port below 1024 is the one step that needs a privilege. Harkline normally holds
// none and asks its helper (BindHelper.h). A user may still grant the capability to the program
// itself; it then keeps that one capability where nothing takes it by chance (permitted, not in
// effect) and raises it only around the bind.

// First thing in main, before any thread or the toolkit starts: when the process started with
// any capability, or in secure-execution mode (AT_SECURE), drops every capability but
// cap_net_bind_service from what it may use, that one from what is in effect, and the
// environment variables that would make the toolkit load code from a place of the caller's
// choosing.
void keepOnlyTheBindPrivilege();

// Whether this process may raise cap_net_bind_service.
bool mayRaiseBindPrivilege();

// bind(), with cap_net_bind_service in effect for this one call; -1 with errno as bind() sets it.
int bindWithPrivilege(int socket, const sockaddr *address, socklen_t length);

#endif // HARKLINE_PRIVILEGE_H
