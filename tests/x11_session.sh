# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Sourced by the tests that drive the built program from outside: a display of their own, a free
# port and the steps a person takes. start_program runs $harkline, read when it is called.

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }
step() { echo "-- $*"; }

for tool in Xvfb xdotool xclip ss; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup test installs it)"
done

# A display of our own, whatever else runs on this machine.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")
export QT_QPA_PLATFORM=xcb

is_bound() { [[ -n $(ss -Hulnp "sport = :$1" 2>/dev/null) ]]; }
port=
for candidate in $(shuf -i 20000-31999 -n 50); do
    if ! is_bound "$candidate"; then port=$candidate; break; fi
done
[[ -n $port ]] || fail "no free port below 32000"

# How long to wait for what must come: only a hang takes longer, however busy the machine is.
patience=60
wait_for() { # seconds, command...
    local tries=$(($1 * 10)); shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
    return 1
}

start_program() { # name of the variable that gets the pid and the window id
    "$harkline" >>"$work/harkline.log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    local window=
    # However long it takes, while the program lives.
    until window=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Harkline 1\.0 $' 2>/dev/null | head -n1)
        [[ -n $window ]]; do
        kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared: $(tail -5 "$work/harkline.log")"
        sleep 0.1
    done
    # Without a window manager nobody gives the window the keyboard focus: give it, as a click would.
    xdotool windowfocus --sync "$window"
    printf -v "$1" '%s %s' "$pid" "$window"
}

listen_on() { # window port: from the log box, where the focus starts, into the port box; Start
    xdotool key --window "$1" Tab ctrl+a
    xdotool type --window "$1" --delay 20 "$2"
    xdotool key --window "$1" alt+s
}

exit_status_within() { # pid seconds
    local pid=$1 tries=$(($2 * 10))
    for _ in $(seq "$tries"); do
        if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; return $?; fi
        sleep 0.1
    done
    return 255
}


# A failure message of the program 'pid' whose main window is 'window'. xdotool matches names
# without regard to case, so the main window's class, "harkline", matches too.
find_failure_box() { # pid window
    box=$(xdotool search --all --onlyvisible --pid "$1" --name '^Harkline$' | grep -vx "$2" | head -n1)
    [[ -n $box ]]
}

# Presses Return in the box until it is gone: a box that has only just appeared may not take the
# keyboard focus at the first try.
dismiss_failure_box() {
    for _ in 1 2 3 4 5; do
        xdotool windowfocus --sync "$box" 2>/dev/null
        xdotool key --window "$box" Return 2>/dev/null # the box is gone before the key is released
        sleep 0.3
        xwininfo -id "$box" 2>/dev/null | grep -q 'IsViewable' || return 0
    done
    return 1
}
