#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Builds the libFuzzer targets with clang and runs each for a bounded time from the committed
# seed corpus. A crash fails the run and leaves its input in build-fuzz/; make it a test case.
# Usage: tests/fuzz/run.sh [SECONDS-EACH]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DHARKLINE_FUZZ=ON -DCMAKE_UNITY_BUILD=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
    >/dev/null
cmake --build build-fuzz --target fuzz_porttext fuzz_payload fuzz_syslog fuzz_rule

for target in porttext payload syslog rule; do
    corpus=build-fuzz/corpus-$target
    mkdir -p "$corpus"
    echo "== fuzz_$target for ${seconds}s"
    log=build-fuzz/fuzz_$target.log
    if ! (cd build-fuzz && ASAN_OPTIONS=detect_leaks=1 "./tests/fuzz/fuzz_$target" \
        -max_total_time="$seconds" -timeout=5 -max_len=70000 -print_final_stats=1 \
        "../$corpus" "../tests/fuzz/corpus/$target") >"$log" 2>&1; then
        grep -E '==[0-9]+==|SUMMARY|Test unit written|deadly signal|timeout' "$log" | head -20
        echo "FAIL: fuzz_$target found a crash or a hang"
        exit 1
    fi
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log"
done
echo "fuzzing: no crash"
