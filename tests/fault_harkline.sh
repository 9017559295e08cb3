#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Hostile texts pasted into the port box of the built program, in a real X server: each ends as
# the program defines (a refusal that puts 514 back, or the failure message and a failure exit
# status), never in a crash.
# Usage: fault_harkline.sh path/to/harkline
set -uo pipefail

harkline=$1
source "$(dirname "$0")/x11_session.sh"

paste_into_port_box() { # window text-file
    xclip -selection clipboard -i "$2"
    sleep 0.2
    xdotool key --window "$1" Tab ctrl+a ctrl+v
    sleep 0.3
}

port_box_text() { # window: the port box's text, through the clipboard
    xdotool key --window "$1" ctrl+a ctrl+c
    sleep 0.2
    xclip -selection clipboard -o
}

expect_failure_exit() { # name pid window
    local status
    wait_for "$patience" find_failure_box "$2" "$3" || fail "$1: no failure message"
    dismiss_failure_box
    exit_status_within "$2" 10
    status=$?
    # A crash is 128 and more, a hang 255.
    [[ $status -eq 1 ]] || fail "$1: the program ended with status $status"
}

failure_case() { # name text-file
    step "$1: the failure message, then a failure exit status"
    local program pid window
    start_program program
    read -r pid window <<<"$program"
    paste_into_port_box "$window" "$2"
    xdotool key --window "$window" alt+s
    expect_failure_exit "$1" "$pid" "$window"
}

printf '9%.0s' $(seq 100000) >"$work/digits"
printf '&H%s' "$(printf 'F%.0s' $(seq 100))" >"$work/hex"
printf '1E400' >"$work/exponent"
failure_case "100,000 digits" "$work/digits"
failure_case "&H and 100 hexadecimal digits" "$work/hex"
failure_case "1E400" "$work/exponent"

step "100,000 letters: refused, 514 comes back, the program goes on"
start_program letters
read -r pid window <<<"$letters"
printf 'x%.0s' $(seq 100000) >"$work/letters"
paste_into_port_box "$window" "$work/letters"
[[ $(port_box_text "$window" | wc -c) -eq 100000 ]] || fail "the port box did not take all 100,000 letters"
xdotool key --window "$window" alt+s
sleep 0.3
[[ $(port_box_text "$window") == 514 ]] || fail "the port box does not read 514 after a refused Start"
kill -0 "$pid" 2>/dev/null || fail "the program ended after a refused Start"

step "Check with 100,000 characters after the port: the datagram is too long, reported as a failure"
xdotool key --window "$window" shift+Tab # from the port box back to the log box, where listen_on starts
listen_on "$window" "$port"
wait_for "$patience" is_bound "$port" || fail "Start did not bind port $port"
{ printf '%s' "$port"; cat "$work/letters"; } >"$work/long-port"
# The keyboard focus is still in the port box: the access key moved it nowhere.
xclip -selection clipboard -i "$work/long-port"
sleep 0.2
xdotool key --window "$window" ctrl+a ctrl+v
sleep 0.3
xdotool key --window "$window" alt+c
expect_failure_exit "a check too long to send" "$pid" "$window"
echo "PASS: fault_harkline"
