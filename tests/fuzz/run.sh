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

# One fuzzer a core at a time: each still fuzzes its whole time on a core of its own. Each says
# what it found in one write, so that their reports do not mix.
fuzz() {
    local target=$1 corpus=build-fuzz/corpus-$1 log=build-fuzz/fuzz_$1.log
    mkdir -p "$corpus"
    if ! (cd build-fuzz && ASAN_OPTIONS=detect_leaks=1 "./tests/fuzz/fuzz_$target" \
        -max_total_time="$seconds" -timeout=5 -max_len=70000 -print_final_stats=1 \
        "../$corpus" "../tests/fuzz/corpus/$target") >"$log" 2>&1; then
        printf '== fuzz_%s for %ss\n%s\nFAIL: fuzz_%s found a crash or a hang\n' "$target" \
            "$seconds" "$(grep -E '==[0-9]+==|SUMMARY|Test unit written|deadly signal|timeout' \
                "$log" | head -20)" "$target"
        return 1
    fi
    printf '== fuzz_%s for %ss\n%s\n' "$target" "$seconds" \
        "$(grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log")"
}
export -f fuzz
export seconds
printf '%s\n' porttext payload syslog rule | xargs -P "$(nproc)" -I {} bash -c 'fuzz {}' ||
    exit 1
echo "fuzzing: no crash"
