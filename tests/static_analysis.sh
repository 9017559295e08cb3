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

program=(common/*.cpp receiver/*.cpp net/*.cpp log/*.cpp helper/*.cpp ui/*.cpp)
tools=(bench/*.cpp tests/*.cpp tests/probe/*.cpp)
[[ -f $build/compile_commands.json ]] || { echo "no $build/compile_commands.json: configure with --preset dev"; exit 1; }

echo "== clang-tidy"
# The static analyser's paths through each function take most of the time: it looks at the
# program's own code; the tests and the benchmark get every other check.
{
    printf '%s\n' "${program[@]}" | xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet 2>&1
    printf '%s\n' "${tools[@]}" \
        | xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet --checks='-clang-analyzer-*' 2>&1
} | grep -E '^/.*: (warning|error):' | sort -u >"$build/clang-tidy.txt" || true
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
