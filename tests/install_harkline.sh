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
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed"

id=org.harkline.Harkline
expected=(
    bin/harkline
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
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" \
    || fail "appstreamcli validate"
grep -q "^Icon=$id\$" "$prefix/share/applications/$id.desktop" || fail "the desktop entry names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo launches another entry"

# The installed program, in a real X server.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display") QT_QPA_PLATFORM=xcb
"$prefix/bin/harkline" 2>"$work/harkline.log" &
pid=$!
pids+=("$pid")
window=$(timeout 10 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^Harkline 1\.0 $' | head -n1)
[[ -n $window ]] || fail "the installed program showed no window"
# The window tells the desktop which entry it belongs to.
xprop -id "$window" WM_CLASS | grep -q '"harkline"' || fail "unexpected window class"
"$close_window" "$window"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end when its window was closed"
wait "$pid"
status=$?
[[ $status -eq 0 ]] || fail "the program ended with status $status"
echo "PASS: install_harkline"
