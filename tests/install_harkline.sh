#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Installs into a temporary prefix and checks what a desktop expects to find there, then starts
# the installed program in a real X server and closes its window as a window manager would.
# Usage: install_harkline.sh BUILD-DIR path/to/close_window
set -uo pipefail

build=$1
close_window=$2
source "$(dirname "$0")/x11_session.sh"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed"

id=org.harkline.Harkline
expected=(
    bin/harkline
    lib/sysctl.d/00-harkline.conf
    libexec/harkline/harkline-bind
    share/man/man1/harkline.1.gz
    share/doc/harkline/copyright
    share/doc/harkline/changelog.gz
    share/applications/$id.desktop
    share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/$id.svg
)
for size in 16 32 48 64 128 256; do
    expected+=(share/icons/hicolor/${size}x${size}/apps/$id.png)
done
for file in "${expected[@]}"; do
    [[ -s $prefix/$file ]] || fail "$file was not installed"
done
[[ -x $prefix/bin/harkline ]] || fail "bin/harkline is not executable"

desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
# The manual page renders with no warning from groff, as man -l would show it.
warnings=$(zcat "$prefix/share/man/man1/harkline.1.gz" | groff -ww -z -man 2>&1)
[[ -z $warnings ]] || fail "the manual page renders with warnings: $warnings"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" \
    || fail "appstreamcli validate"
grep -q "^Icon=$id\$" "$prefix/share/applications/$id.desktop" || fail "the desktop entry names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo launches another entry"

# The installed program, in a real X server.
harkline=$prefix/bin/harkline
start_program installed
read -r pid window <<<"$installed"
# The window tells the desktop which entry it belongs to.
xprop -id "$window" WM_CLASS | grep -q '"harkline"' || fail "unexpected window class"
"$close_window" "$window"
exit_status_within "$pid" 5
status=$?
[[ $status -eq 0 ]] || fail "closing the window ended the program with status $status (255: it did not end)"
echo "PASS: install_harkline"
