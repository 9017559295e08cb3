#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The first run as the README gives it: scripts/run builds the program and its helper only, puts
# the helper where the program looks for it and, run by root, gives it the capability, so that
# Start on port 514 works.
# Usage: run_script.sh SOURCE-DIR BUILD-DIR path/to/close_window
set -uo pipefail

source_dir=$1
build=$2
close_window=$3
source "$(dirname "$0")/x11_session.sh"

# A cmake that notes what it is asked before doing it: what scripts/run builds.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>"%s"\nexec "%s" "$@"\n' "$work/cmake.log" "$(command -v cmake)" \
    >"$work/bin/cmake"
printf '#!/bin/sh\nPATH="%s:$PATH" HARKLINE_BUILD_DIR="%s" exec "%s"\n' \
    "$work/bin" "$build" "$source_dir/scripts/run" >"$work/run"
chmod +x "$work/bin/cmake" "$work/run"

step "scripts/run starts the window"
harkline=$work/run
start_program started
read -r pid window <<<"$started"
built=$(grep -- '^--build' "$work/cmake.log")
[[ $built == "--build $build --target harkline harkline-bind" ]] \
    || fail "scripts/run built more than the program and its helper: $built"
helper=$build/run/libexec/harkline/harkline-bind
[[ -x $build/run/bin/harkline && -x $helper ]] || fail "the program and its helper are not laid out as installed"

if [[ $(id -u) -eq 0 ]]; then
    step "as root it gives the helper alone the capability, and Start on 514 works"
    getcap "$helper" | grep -q 'cap_net_bind_service=ep' || fail "the helper has no capability: $(getcap "$helper")"
    [[ -z $(getcap "$build/run/bin/harkline") ]] || fail "the program itself was given a capability"
    grep -q "Start on port 514 works" "$work/harkline.log" || fail "scripts/run did not say 514 works"
    if is_bound 514; then
        echo "port 514 is in use on this machine: Start on it not tried"
    else
        listen_on "$window" 514
        wait_for "$patience" is_bound 514 || fail "Start on 514 bound nothing: $(cat "$work/harkline.log")"
        find_failure_box "$pid" "$window" && fail "Start on 514 reported a failure"
    fi
else
    step "without root it says which port to type instead"
    grep -q "type a port from 1024 to 32000 instead" "$work/harkline.log" \
        || fail "scripts/run did not say what to do about ports below 1024"
fi

"$close_window" "$window"
exit_status_within "$pid" 5
status=$?
[[ $status -eq 0 ]] || fail "closing the window ended the program with status $status"
echo "PASS: run_script"
