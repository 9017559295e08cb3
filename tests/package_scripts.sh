#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The package's maintainer scripts, driven in a sandbox: a mount namespace of their own, where
# net.core.rmem_max is a file of the test's, /var/lib and the system's sysctl configuration are
# empty, and sysctl can be made to fail. Whatever happens, the value the package replaced comes
# back, or stays on record, or was an administrator's and stays.
# Needs root (for the namespace); skipped otherwise.
# Usage: package_scripts.sh DIRECTORY-WITH-POSTINST-AND-POSTRM
set -uo pipefail

scripts=$1
skip() { echo "SKIP: $*"; exit 77; }
[[ $(id -u) -eq 0 ]] || skip "a mount namespace needs root"
command -v unshare >/dev/null || skip "no unshare here"
unshare --mount true 2>/dev/null || skip "no mount namespaces here"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
# sysctl as the scripts call it, writing the test's file, or failing while $work/fail exists.
cat >"$work/bin/sysctl" <<'SH'
#!/bin/sh
[ -e "$WORK/fail" ] && { echo "sysctl: permission denied" >&2; exit 1; }
for argument; do case $argument in net.core.rmem_max=*) echo "${argument#*=}" >/proc/sys/net/core/rmem_max ;; esac; done
SH
printf '#!/bin/sh\nexit 0\n' >"$work/bin/setcap"
chmod +x "$work/bin/sysctl" "$work/bin/setcap"

# One case: the steps run in order inside the sandbox; each step is "VALUE" (the system's value
# changes to it), "fail"/"work" (sysctl fails or works from now on), "readonly" (/var/lib
# refuses writes), "configured VALUE" (an administrator's /etc/sysctl.d/60-local.conf sets it),
# "emptied" (the record is empty, as a crash can leave it), or a script and its argument
# ("postinst configure", "postrm remove"); "expect VALUE RECORD" checks the value and what is on
# record ("-" for nothing); "said N WORDS" checks that the scripts said so N times on standard
# error.
run_case() {
    local name=$1; shift
    rm -f "$work/fail" "$work/stderr"
    printf '%s\n' "$@" >"$work/steps"
    if ! WORK=$work SCRIPTS=$scripts PATH="$work/bin:$PATH" unshare --mount --propagation private \
        bash -c '
        set -u
        echo 212992 >"$WORK/rmem_max"
        mount --bind "$WORK/rmem_max" /proc/sys/net/core/rmem_max || exit 3
        mount -t tmpfs tmpfs /var/lib || exit 3
        mkdir -p "$WORK/etc-sysctl.d" && : >"$WORK/sysctl.conf"
        mount --bind "$WORK/etc-sysctl.d" /etc/sysctl.d || exit 3
        [[ ! -e /etc/sysctl.conf ]] || mount --bind "$WORK/sysctl.conf" /etc/sysctl.conf || exit 3
        [[ ! -d /run/sysctl.d ]] || mount -t tmpfs tmpfs /run/sysctl.d || exit 3
        while read -r step argument rest; do
            case $step in
            postinst|postrm) sh "$SCRIPTS/$step" "$argument" 2>>"$WORK/stderr" || { echo "$step $argument failed"; exit 1; } ;;
            fail) touch "$WORK/fail" ;;
            work) rm -f "$WORK/fail" ;;
            readonly) mount -o remount,ro /var/lib ;;
            configured) echo "net.core.rmem_max = $argument" >/etc/sysctl.d/60-local.conf ;;
            emptied) : >/var/lib/harkline/rmem_max.before ;;
            said) [[ $(grep -c "$rest" "$WORK/stderr") == "$argument" ]] || { echo "not said $argument times: \"$rest\""; exit 1; } ;;
            expect)
                value=$(cat /proc/sys/net/core/rmem_max)
                record=$(cat /var/lib/harkline/rmem_max.before 2>/dev/null || echo -)
                [[ $value == "$argument" && $record == "$rest" ]] \
                    || { echo "expected $argument with $rest on record, found $value with $record"; exit 1; } ;;
            *) echo "$step" >/proc/sys/net/core/rmem_max ;;
            esac
        done <"$WORK/steps"
        '; then
        echo "FAIL: $name"
        cat "$work/stderr" 2>/dev/null
        exit 1
    fi
    echo "ok: $name"
}

run_case "install and remove" \
    "postinst configure" "expect 4194304 212992" "postrm remove" "expect 212992 -"
run_case "sysctl fails on removal: the old value stays on record, the purge puts it back" \
    "postinst configure" "fail" "postrm remove" "expect 4194304 212992" "said 1 it is kept" \
    "work" "postrm purge" "expect 212992 -"
run_case "sysctl fails on install: recorded, not raised, nothing to put back" \
    "fail" "postinst configure" "expect 212992 212992" "work" "postrm remove" "expect 212992 -"
run_case "a higher value already: left alone" \
    "8388608" "postinst configure" "expect 8388608 -" "postrm remove" "expect 8388608 -"
run_case "an upgrade keeps the record of the value the install replaced" \
    "postinst configure" "postinst configure" "expect 4194304 212992" \
    "postrm remove" "expect 212992 -"
run_case "lowered after the install, then upgraded: removal puts back the lowered value" \
    "postinst configure" "1000000" "postinst configure" "expect 4194304 1000000" \
    "postrm remove" "expect 1000000 -"
run_case "an administrator's configuration sets exactly the package's value: it stays" \
    "postinst configure" "configured 4194304" "postrm remove" "expect 4194304 -" \
    "said 1 set in the system's configuration"
run_case "an empty record, as a crash can leave: taken for none, and said once" \
    "postinst configure" "emptied" "postrm remove" "expect 4194304 -" \
    "postrm purge" "expect 4194304 -" "said 1 empty or damaged"
run_case "changed by someone else since: left as they set it" \
    "postinst configure" "6000000" "postrm remove" "expect 6000000 -"
run_case "nowhere to record it: not raised now" \
    "readonly" "postinst configure" "expect 212992 -" "said 1 so it is not raised" \
    "postrm remove" "expect 212992 -"
echo "PASS: package_scripts"
