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

sources=(common/*.cpp receiver/*.cpp net/*.cpp log/*.cpp helper/*.cpp ui/*.cpp bench/*.cpp tests/*.cpp tests/probe/*.cpp tests/fuzz/*.cpp)
[[ -f $build/compile_commands.json ]] || { echo "no $build/compile_commands.json: configure with --preset dev"; exit 1; }

echo "== clang-tidy"
# The fuzz targets are built only with clang; tidy them with the flags of the core.
printf '%s\n' "${sources[@]}" | grep -v '^tests/fuzz/' \
    | xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet 2>&1 \
    | grep -E '^/.*: (warning|error):' | sort -u >"$build/clang-tidy.txt" || true
qt_core=$(pkg-config --cflags Qt6Core 2>/dev/null || echo -I/usr/include/x86_64-linux-gnu/qt6 -I/usr/include/x86_64-linux-gnu/qt6/QtCore)
# shellcheck disable=SC2086 # the flags are words
printf '%s\n' tests/fuzz/*.cpp \
    | xargs -P "$(nproc)" -I {} clang-tidy --quiet {} -- -std=c++20 -Icommon -Ireceiver -Inet -Ilog \
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
