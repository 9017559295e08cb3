#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Builds the Debian package, installs it with apt-get, and has an ordinary user start the
# installed program and press Start on the default port, 514: the package's bind helper must let
# it listen there, while the program itself holds no privilege, so that neither a preloaded
# library nor a toolkit plugin of the user's can bind a privileged port. Then the same with a
# copy of the program that was given the capability itself, which must give it up and take no
# toolkit option from its command line. The helper binds 514 and the ports listed in its
# configuration file, nothing else. Removes the package and the user again. Needs root; skipped
# otherwise.
# Usage: package_harkline.sh BUILD-DIR PROBE-PRELOAD PROBE-STYLE-PLUGIN PROBE-THEME-PLUGIN
set -uo pipefail

build=$1
preload=$2
plugin=$3
theme=$4
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
command -v apt-get >/dev/null || skip "no apt-get here"
if dpkg-query -W -f='${db:Status-Status}' harkline 2>/dev/null | grep -qx installed; then
    skip "a harkline package is installed already; not touching it"
fi
is_bound() { [[ -n $(ss -Hulnp "sport = :$1" 2>/dev/null) ]]; }
is_bound 514 && skip "another program holds port 514"
# Installing raises net.core.rmem_max; removing puts back what was there. Test from the stock value
# and leave the machine as it was.
rmem_max=$(cat /proc/sys/net/core/rmem_max)

sysctl -q -w net.core.rmem_max=212992 >/dev/null || skip "cannot set net.core.rmem_max here"
work=$(mktemp -d)
chmod 755 "$work"
user=harkline-test
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq harkline >/dev/null 2>&1
    userdel "$user" 2>/dev/null
    sysctl -q -w net.core.rmem_max="$rmem_max" >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) \
    || { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }
package=$(ls "$work"/harkline_*.deb 2>/dev/null | head -n1)
[[ -n $package ]] || fail "no package was built"
dpkg-deb -f "$package" Depends | grep -q 'libqt6widgets6' \
    || fail "the package's dependencies were not computed from its libraries"
# Debian's own checks: no error and no warning (information tags are fine).
lintian --fail-on error,warning "$package" 2>&1 | grep -v 'root privileges' >"$work/lintian.log"
[[ ${PIPESTATUS[0]} -eq 0 ]] || { cat "$work/lintian.log"; fail "lintian found errors or warnings"; }
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$package" >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log"; fail "apt-get install of the package failed"; }
[[ -x /usr/bin/harkline ]] || fail "/usr/bin/harkline is not installed"
[[ -z $(getcap /usr/bin/harkline) ]] || fail "the program itself holds a capability: $(getcap /usr/bin/harkline)"
helper=/usr/libexec/harkline/harkline-bind
getcap "$helper" | grep -q 'cap_net_bind_service=ep' || fail "the helper was not given its capability"
ports=/etc/harkline/bind-ports
dpkg-query -W -f='${Conffiles}' harkline | grep -q " $ports " || fail "$ports is not a conffile"
grep -qx 'net.core.rmem_max = 4194304' /usr/lib/sysctl.d/00-harkline.conf \
    || fail "the receive-buffer drop-in was not installed"
(( $(cat /proc/sys/net/core/rmem_max) >= 4194304 )) || fail "net.core.rmem_max was not raised"

useradd --system --no-create-home --shell /usr/sbin/nologin "$user" 2>/dev/null
runtime=$work/runtime
mkdir -p "$runtime" && chown "$user" "$runtime" && chmod 700 "$runtime"

exec 3>"$work/display"
# -ac: the test user may connect; the server listens on no network.
Xvfb -displayfd 3 -ac -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
display=:$(head -n1 "$work/display")
export DISPLAY=$display

# What a user could steer into the program: a library to preload, a style plugin, and a platform
# theme plugin that the toolkit's own command-line options name.
mkdir -p "$work/probe/plugins/styles" "$work/probe/themes"
cp "$preload" "$work/probe/"
cp "$plugin" "$work/probe/plugins/styles/"
cp "$theme" "$work/probe/themes/"
chmod -R a+rX "$work/probe"
probe_log=$work/probe.log
steered=(QT_PLUGIN_PATH="$work/probe/plugins" QT_STYLE_OVERRIDE=probe
         LD_PRELOAD="$work/probe/${preload##*/}" HARKLINE_PROBE_LOG="$probe_log")
options=(-platformpluginpath "$work/probe/themes" -platformtheme probe)

# Starts 'program' as the user, steered, presses Start on 514, and checks the program holds it.
listen_on_514() { # program
    : >"$probe_log"
    chmod 666 "$probe_log"
    runuser -u "$user" -- env DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$runtime" \
        "${steered[@]}" "$1" "${options[@]}" >"$work/harkline.log" 2>&1 &
    pids+=($!)
    pid=
    for _ in $(seq 100); do
        pid=$(pgrep -u "$user" -f "^$1 " | head -n1)
        [[ -n $pid ]] && break
        sleep 0.1
    done
    [[ -n $pid ]] || fail "$1 did not start as $user"
    window=$(timeout 10 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^Harkline 1\.0 $' | head -n1)
    [[ -n $window ]] || fail "$1 showed no window"
    xdotool windowfocus --sync "$window"
    xdotool key --window "$window" alt+s # Start, with the port box as it starts: 514
    for _ in $(seq 50); do is_bound 514 && break; sleep 0.1; done
    owner=$(ss -Hulnp "sport = :514" | grep -o 'pid=[0-9]*' | head -n1 | cut -d= -f2)
    [[ $owner == "$pid" ]] || { cat "$work/harkline.log"; fail "port 514 is not held by $1 (held by '${owner}')"; }
    [[ $(ps -o user= -p "$pid" | tr -d ' ') == "$user" ]] || fail "the program does not run as $user"
    ! grep -q bound "$probe_log" || fail "code steered into $1 bound a privileged port: $(cat "$probe_log")"
}

stop_program() {
    xdotool key --window "$window" alt+s # Stop
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "Stop did not end the program"
    is_bound 514 && fail "port 514 still held after Stop"
}

# The installed program holds nothing: the steered code runs in it, and is refused.
listen_on_514 /usr/bin/harkline
grep -qx 'preload: tcp 81 refused, udp 82 refused' "$probe_log" || fail "the preloaded probe did not run: $(cat "$probe_log")"
grep -qx 'plugin: tcp 81 refused, udp 82 refused' "$probe_log" || fail "the plugin probe did not run: $(cat "$probe_log")"
grep -qx 'theme: tcp 81 refused, udp 82 refused' "$probe_log" || fail "the theme probe did not run: $(cat "$probe_log")"
stop_program

# The helper, run by hand as the user with a socket pair, as Harkline runs it: what it answers,
# and its exit status.
run_helper() { # port
    runuser -u "$user" -- python3 -c '
import array, socket, subprocess, sys
ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
status = subprocess.run([sys.argv[1], sys.argv[2]], stdin=theirs, stderr=subprocess.DEVNULL).returncode
theirs.close()
data, ancillary, _, _ = ours.recvmsg(4, socket.CMSG_SPACE(4))
fds = [fd for level, kind, raw in ancillary for fd in array.array("i", raw)]
port = socket.socket(fileno=fds[0]).getsockname()[1] if fds else 0
print(int.from_bytes(data, "little") if data else -1, status, port)
' "$helper" "$1"
}
read -r answer status bound < <(run_helper 162)
[[ $status -eq 2 && $answer -eq 1 && $bound -eq 0 ]] \
    || fail "the helper did not refuse port 162, which nobody listed (answer $answer, status $status)"
if ! is_bound 162; then
    printf '162 # SNMP traps\n' >>"$ports"
    read -r answer status bound < <(run_helper 162)
    [[ $status -eq 0 && $bound -eq 162 ]] || fail "the helper did not bind port 162, listed in $ports"
fi
# Without a socket pair, or with anything but a port, it serves nothing.
for call in "81" "1024" "514 tcp" "--tcp 81" ""; do
    # shellcheck disable=SC2086
    runuser -u "$user" -- "$helper" $call </dev/null >/dev/null 2>&1
    [[ $? -eq 2 ]] || fail "the helper did not refuse \"$call\""
done

# A copy given the capability itself gives it up as it starts, takes no toolkit option from its
# command line, and loads none of the steered code; it binds 514 through the helper, found beside
# it as beside the installed program.
mkdir -p "$work/copy/bin" "$work/copy/libexec/harkline"
cp /usr/bin/harkline "$work/copy/bin/harkline"
ln -s "$helper" "$work/copy/libexec/harkline/harkline-bind"
chmod -R a+rX "$work/copy"
setcap cap_net_bind_service=ep "$work/copy/bin/harkline" || fail "cannot give the copy the capability"
listen_on_514 "$work/copy/bin/harkline"
for set in CapPrm CapEff CapInh CapAmb; do
    grep -q "^$set:[[:space:]]*0*\$" "/proc/$pid/status" \
        || fail "the copy holds a capability: $(grep Cap "/proc/$pid/status")"
done
[[ ! -s $probe_log ]] || fail "the copy loaded code it was steered to: $(cat "$probe_log")"
stop_program

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq harkline >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log"; fail "apt-get remove failed"; }
[[ ! -e /usr/lib/sysctl.d/00-harkline.conf ]] || fail "the drop-in was left behind"
[[ $(cat /proc/sys/net/core/rmem_max) == 212992 ]] || fail "removing did not put net.core.rmem_max back"
echo "PASS: package_harkline"
