#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# clang-tidy (checks in .clang-tidy) and cppcheck over the project's own code; fails on any
# finding. Needs a configured build with compile_commands.json.
# Usage: tests/static_analysis.sh [BUILD-DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

[[ -f $build/compile_commands.json ]] || { echo "no $build/compile_commands.json: configure with --preset dev"; exit 1; }

echo "== clang-tidy"
# What the build compiles: in a unity build (the dev preset's), each target's sources a few at a
# time, which parses Qt's headers once for several files rather than once for each, a fifth of
# the time. The files they include are checked as headers are (.clang-tidy's header filter).
units=$(python3 - "$build/compile_commands.json" "$PWD" <<'PYTHON'
import json, re, sys
source = re.compile(re.escape(sys.argv[2]) + r'/(common|receiver|net|log|helper|ui|bench|tests)/')
for entry in json.load(open(sys.argv[1])):
    name = entry['file']
    if '/Unity/' in name or (source.match(name) and '_autogen' not in name):
        print(name)
PYTHON
)
[[ -n $units ]] || { echo "nothing to check in $build/compile_commands.json"; exit 1; }
tidy=(clang-tidy -p "$build" --config-file=.clang-tidy --quiet)
# A unity file is nothing but includes of the sources.
unity=(--checks=-bugprone-suspicious-include)
# The static analyser's paths through each function take most of the time: it looks at the
# program's own code, in its shallow mode (fewer calls followed into), with the included sources
# and headers; the tests and the benchmark get every other check.
analyser=(--extra-arg=-Xclang --extra-arg=-analyzer-config --extra-arg=-Xclang
    --extra-arg=mode=shallow --extra-arg=-Xclang --extra-arg=-analyzer-opt-analyze-headers)
tools='/(tests|bench)/(CMakeFiles/|[^/]*$)'
{
    grep -Ev "$tools" <<<"$units" | xargs -P "$(nproc)" -n 1 "${tidy[@]}" "${unity[@]}" \
        "${analyser[@]}" 2>&1 || true
    grep -E "$tools" <<<"$units" | xargs -P "$(nproc)" -n 1 "${tidy[@]}" \
        --checks='-bugprone-suspicious-include,-clang-analyzer-*' 2>&1 || true
} | { grep -E '^/.*: (warning|error):' || true; } | sort -u >"$build/clang-tidy.txt"
qt_core=$(pkg-config --cflags Qt6Core 2>/dev/null || echo -I/usr/include/x86_64-linux-gnu/qt6 -I/usr/include/x86_64-linux-gnu/qt6/QtCore)
# shellcheck disable=SC2086 # the flags are words
printf '%s\n' tests/fuzz/*.cpp \
    | xargs -P "$(nproc)" -I {} clang-tidy --quiet --checks='-clang-analyzer-*' {} -- -std=c++20 -Icommon -Ireceiver -Inet -Ilog \
        $qt_core -fPIC 2>&1 \
    | grep -E '^/.*: (warning|error):' >>"$build/clang-tidy.txt" || true
if [[ -s $build/clang-tidy.txt ]]; then
    cat "$build/clang-tidy.txt"
    echo "FAIL: clang-tidy"
    exit 1
fi

echo "== reuse: every file says who holds its copyright and under which licence"
reuse lint --quiet || { reuse lint | tail -20; echo "FAIL: reuse lint"; exit 1; }

echo "== cppcheck"
cppcheck --language=c++ --std=c++20 --enable=warning,performance,portability,style \
    --inline-suppr --error-exitcode=1 --quiet --suppress=missingIncludeSystem \
    --suppress=missingInclude --library=qt -I common -I receiver -I net -I log -I ui \
    common receiver net log helper ui bench tests/*.cpp tests/probe/*.cpp tests/fuzz/*.cpp
echo "static analysis: nothing found"
