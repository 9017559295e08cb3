#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Drives the built program as a person would: in a real X window, with real key presses from
# outside, a datagram from another process, and the log read back through the clipboard.
# Usage: e2e_harkline.sh path/to/harkline path/to/close_window path/to/ping_window
set -uo pipefail

harkline=$1
close_window=$2
ping_window=$3
source "$(dirname "$0")/x11_session.sh"

step "start the program; the log box has the focus; Tab leads to the port box"
start_program first
read -r pid window <<<"$first"
listen_on "$window" "$port"
wait_for "$patience" is_bound "$port" || fail "Start did not bind port $port"

step "a datagram from another process, then Check"
printf '<13>hello from another process' >"/dev/udp/127.0.0.1/$port"
sleep 0.3
xdotool key --window "$window" alt+c

step "read the log back through the clipboard: exactly, line ends included"
expected=$(printf '<13>hello from another process\r\nReception is OK on UDP port : %s\r\n' "$port")
read_log() {
    # Click into the log box (it starts 40 pixels down), select all, copy.
    xdotool mousemove --window "$window" 100 90 click 1
    xdotool key --window "$window" ctrl+a ctrl+c
    sleep 0.2
    log=$(xclip -o -selection clipboard 2>/dev/null)
    [[ $log == "$expected" ]]
}
wait_for "$patience" read_log || fail "log reads $(printf '%q' "$log"), expected $(printf '%q' "$expected")"

find_dialog() { # title: the program's window with exactly this title (xdotool's --name is loose)
    local w
    for w in $(xdotool search --onlyvisible --pid "$pid" --name "$1"); do
        [[ $(xdotool getwindowname "$w") == "$1" ]] && { dialog=$w; return 0; }
    done
    return 1
}

# A save asked for while the last is still finishing is refused with a word in the box, as a
# person would be told: press again, as they would.
press_for_dialog() { # keys title
    local deadline=$((SECONDS + patience))
    while ((SECONDS < deadline)); do
        xdotool windowfocus --sync "$window"
        xdotool key "$1"
        wait_for 5 find_dialog "$2" && return
    done
    fail "no \"$2\" dialog"
}
save_through_dialog() { # keys title path: press the keys in the log box, then answer the dialog
    # Everything typed as a person types, into the window with the keyboard focus.
    press_for_dialog "$1" "$2"
    xdotool windowfocus --sync "$dialog"
    xdotool key ctrl+a
    xdotool type --delay 30 "$3"
    xdotool key Return
    wait_for "$patience" test -s "$3" || fail "\"$2\" wrote nothing to $3: $(ls "$(dirname "$3")")"
}

step "Ctrl+S saves the log through the file dialog, byte for byte"
save_through_dialog ctrl+s "Save Log" "$work/saved.log"
cmp -s "$work/saved.log" <(printf '<13>hello from another process\r\nReception is OK on UDP port : %s\r\n' "$port") \
    || fail "the saved log reads $(od -c "$work/saved.log" | head -5)"

step "Ctrl+Shift+S saves the arrivals as CSV, with their senders"
save_through_dialog ctrl+shift+s "Save Arrivals" "$work/arrivals.csv"
python3 - "$work/arrivals.csv" "$port" <<'PYTHON' || fail "the arrivals CSV is not what was sent: $(cat "$work/arrivals.csv")"
import csv, re, sys
rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))
assert rows[0] == ['time', 'sender', 'bytes', 'dropped_before', 'payload'], rows[0]
assert [r[4] for r in rows[1:]] == ['<13>hello from another process',
                                    'Reception is OK on UDP port : ' + sys.argv[2]], rows
assert all(re.fullmatch(r'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d', r[0]) for r in rows[1:]), rows
assert all(r[1].startswith('127.0.0.1:') and r[3] == '0' for r in rows[1:]), rows
assert [int(r[2]) for r in rows[1:]] == [len(r[4]) for r in rows[1:]], rows
PYTHON

step "view rules: show only, a severity, the next problem, and a copy of what is shown"
printf '<11>an error' >"/dev/udp/127.0.0.1/$port"
printf '<14>some news' >"/dev/udp/127.0.0.1/$port"
sleep 0.3
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 100 90 click 1
xdotool key ctrl+shift+f
xdotool type --delay 30 "news"
xdotool key Escape
expected=$(printf '<14>some news\r\n')
wait_for "$patience" read_log || fail "with \"news\" shown only, a copy reads $(printf '%q' "$log")"
xdotool key ctrl+shift+a ctrl+3
expected=$(printf '<11>an error\r\n')
wait_for "$patience" read_log || fail "with errors shown only, a copy reads $(printf '%q' "$log")"
# F8 puts the caret on the error, where typing goes; every line shown again, the log reads whole.
xdotool key ctrl+End F8
xdotool type --delay 30 "X"
xdotool key ctrl+shift+a
expected=$(printf '<13>hello from another process\r\nReception is OK on UDP port : %s\r\nX<11>an error\r\n<14>some news\r\n' "$port")
wait_for "$patience" read_log || fail "after F8 and typing, the log reads $(printf '%q' "$log")"

step "Ctrl+I opens the datagram's details; its hex dump copies exactly"
xdotool windowfocus --sync "$window"
xdotool key ctrl+Home ctrl+i
wait_for "$patience" find_dialog "Datagram Details" || fail "no details window"
copy_dump() {
    xdotool windowfocus --sync "$dialog"
    xdotool key ctrl+a ctrl+c
    sleep 0.2
    dump=$(xclip -o -selection clipboard 2>/dev/null | head -n2)
    [[ $dump == "$(printf '00000000  3c 31 33 3e 68 65 6c 6c  6f 20 66 72 6f 6d 20 61  <13>hello from a\n00000010  6e 6f 74 68 65 72 20 70  72 6f 63 65 73 73        nother process')" ]]
}
wait_for "$patience" copy_dump || fail "the hex dump reads $(printf '%q' "$dump")"
geometry() { # window: its left, top, right and bottom edges
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $((X + WIDTH)) $((Y + HEIGHT))"
}
read -r ml mt mr mb <<<"$(geometry "$window")"
read -r dl dt dr db <<<"$(geometry "$dialog")"
((dl >= mr || dr <= ml || dt >= mb || db <= mt)) \
    || fail "the details window ($dl,$dt)-($dr,$db) covers the main window ($ml,$mt)-($mr,$mb)"
xdotool key Escape
closed() { ! find_dialog "Datagram Details"; }
wait_for "$patience" closed || fail "Escape did not close the details window"

step "Ctrl+Shift+S saves the arrivals as JSON Lines to a .jsonl name"
save_through_dialog ctrl+shift+s "Save Arrivals" "$work/arrivals.jsonl"
python3 - "$work/arrivals.jsonl" "$port" <<'PYTHON' || fail "the JSON Lines are not what was sent: $(cat "$work/arrivals.jsonl")"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8')]
assert [r['payload'] for r in rows] == ['<13>hello from another process',
                                        'Reception is OK on UDP port : ' + sys.argv[2],
                                        '<11>an error', '<14>some news'], rows
assert rows[0]['syslog'] == {'format': 'rfc3164', 'facility': 'user', 'severity': 'notice',
                             'msg': 'hello from another process'}, rows[0]
assert 'syslog' not in rows[1], rows[1]
assert all(r['sender'].startswith('127.0.0.1:') and r['bytes'] == len(r['payload']) for r in rows), rows
PYTHON

step "Ctrl+L opens the Log View; a field term filters every arrival; its rows copy and export exactly"
printf '<13>1 2026-12-09T10:00:00Z fw01 app - - - first from fw01' >"/dev/udp/127.0.0.1/$port"
printf '<13>Dec  9 10:00:01 web02 nginx: not from fw01' >"/dev/udp/127.0.0.1/$port"
printf '<11>Dec  9 10:00:02 fw01 sshd[1]: caf\xe9 \x01 second' >"/dev/udp/127.0.0.1/$port"
sleep 0.3
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 100 90 click 1
xdotool key ctrl+l
wait_for "$patience" find_dialog "Log View — UDP $port" || fail "Ctrl+L opened no Log View"
view=$dialog
read -r vl vt vr vb <<<"$(geometry "$view")"
((vl >= mr || vr <= ml || vt >= mb || vb <= mt)) \
    || fail "the Log View ($vl,$vt)-($vr,$vb) covers the main window ($ml,$mt)-($mr,$mb)"
xdotool windowfocus --sync "$view"
xdotool key ctrl+shift+f
xdotool type --delay 30 "host:fw01"
xdotool key Return Escape
copy_rows() {
    xdotool windowfocus --sync "$view"
    xdotool key ctrl+a ctrl+c
    sleep 0.2
    xclip -o -selection clipboard >"$work/rows" 2>/dev/null
    python3 - "$work/rows" <<'PYTHON'
import sys
rows = open(sys.argv[1], 'rb').read().decode('utf-8').encode('latin-1')
sys.exit(rows != b'<13>1 2026-12-09T10:00:00Z fw01 app - - - first from fw01\r\n'
                 b'<11>Dec  9 10:00:02 fw01 sshd[1]: caf\xe9 \x01 second\r\n')
PYTHON
}
wait_for "$patience" copy_rows || fail "the rows shown copy as $(od -c "$work/rows" | head -5)"
window=$view save_through_dialog ctrl+shift+s "Save Arrivals" "$work/shown.jsonl"
python3 - "$work/shown.jsonl" <<'PYTHON' || fail "the shown rows exported as $(cat "$work/shown.jsonl")"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8')]
assert [r['payload'] for r in rows] == ['<13>1 2026-12-09T10:00:00Z fw01 app - - - first from fw01',
                                        '<11>Dec  9 10:00:02 fw01 sshd[1]: caf\u00e9 \u0001 second'], rows
PYTHON
xdotool windowfocus --sync "$view"
xdotool key ctrl+w
view_closed() { ! find_dialog "Log View — UDP $port"; }
wait_for "$patience" view_closed || fail "Ctrl+W did not close the Log View"

step "200,000 arrivals saved as JSON Lines in the background: the window answers meanwhile"
python3 - "$port" <<'PYTHON' || fail "could not send the datagrams"
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for i in range(200000):
    s.sendto(b'<14>Dec  9 12:00:00 e2e app[1]: arrival %d' % i, ('127.0.0.1', int(sys.argv[1])))
time.sleep(0.5)
s.sendto(b'<14>the last', ('127.0.0.1', int(sys.argv[1]))) # after it, every drop is counted
PYTHON
many=$work/many.jsonl
open_save_dialog() { # keys title path: press the keys in the log box, type the path
    press_for_dialog "$1" "$2"
    xdotool windowfocus --sync "$dialog"
    xdotool key ctrl+a
    xdotool type --delay 30 "$3"
}
# Until the program has read them all from its socket, however long that takes here, and a moment
# for the window to take in the last it read.
drained() { [[ $(ss -Huln "sport = :$port" | awk '{ queued += $2 } END { print queued + 0 }') -eq 0 ]]; }
wait_for 120 drained || fail "the program did not read the datagrams"
sleep 1
open_save_dialog ctrl+shift+s "Save Arrivals" "$many"
xdotool key Return
read -r answered longest < <("$ping_window" "$window" "$many" 60) || fail "nothing saved to $many"
[[ $answered -gt 0 ]] || fail "the window answered no ping while it saved (the longest wait $longest ms)"
echo "   $answered pings answered while saving, the longest wait $longest ms"
wait_for "$patience" python3 - "$many" <<'PYTHON' || fail "the JSON Lines are not every datagram sent: $(tail -c 300 "$many")"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8')]
mine = [r for r in rows if r['payload'].startswith('<14>Dec  9 12:00:00 e2e ') or r['payload'] == '<14>the last']
assert mine[-1]['payload'] == '<14>the last', mine[-1]
numbers = [int(r['payload'].rsplit(' ', 1)[1]) for r in mine[:-1]]
assert numbers == sorted(numbers), 'out of order'
# Every datagram sent is in the file once, or counted as dropped before the one after it.
assert len(mine) + sum(r['dropped_before'] for r in mine) == 200001, (len(mine), sum(r['dropped_before'] for r in mine))
assert all(r['syslog']['app'] == 'app' for r in mine[:-1])
PYTHON

step "a second copy on the same port reports the failure and ends with a failure status"
start_program second
read -r pid2 window2 <<<"$second"
listen_on "$window2" "$port"
wait_for "$patience" find_failure_box "$pid2" "$window2" || fail "no failure message appeared"
dismiss_failure_box
exit_status_within "$pid2" 5
status=$?
[[ $status -ne 0 && $status -ne 255 ]] || fail "the second copy ended with status $status"
is_bound "$port" || fail "the failure in the second copy took the first copy's port"

step "Stop during a save: the save is finished first, then the program ends and frees the port"
open_save_dialog ctrl+shift+s "Save Arrivals" "$work/at-stop.csv"
# Return until the dialog has gone: one pressed while it still completes the name may go to that.
dialog_gone() { ! xwininfo -id "$dialog" 2>/dev/null | grep -q IsViewable; }
for _ in 1 2 3 4 5; do
    dialog_gone && break
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    xdotool key Return
    wait_for 1 dialog_gone
done
dialog_gone || fail "the dialog did not close"
xdotool windowfocus --sync "$window"
xdotool key --window "$window" alt+s
is_free() { ! is_bound "$1"; }
wait_for "$patience" is_free "$port" || fail "port $port still bound after Stop"
exit_status_within "$pid" 30
status=$?
[[ $status -eq 0 ]] || fail "Stop ended the program with status $status"
python3 - "$work/at-stop.csv" <<'PYTHON' || fail "the save at Stop is not whole: $(tail -c 300 "$work/at-stop.csv")"
import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))
assert rows[-1][4] == '<14>the last', rows[-1]
PYTHON

step "closing from the title bar while listening ends the program and frees the port"
start_program third
read -r pid3 window3 <<<"$third"
listen_on "$window3" "$port"
wait_for "$patience" is_bound "$port" || fail "Start did not bind port $port again"
# What a window manager sends when the close box is clicked.
# A close request from the title bar, as a window manager passes it on.
"$close_window" "$window3"
exit_status_within "$pid3" 5
status=$?
[[ $status -eq 0 ]] || fail "closing ended the program with status $status"
is_bound "$port" && fail "port $port still bound after closing"

echo "PASS: e2e_harkline"
