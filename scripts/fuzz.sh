#!/usr/bin/env bash
# Installs what is missing, builds the fuzz targets with clang and runs each of them:
#   scripts/fuzz.sh [SECONDS]   each target for SECONDS (default 300)
#   scripts/fuzz.sh --short     each target for 20 seconds, as the tests do
# Inputs the fuzzers find are kept in build/fuzz/fuzz/work/TARGET/corpus and grow from run to run;
# an input that fails is written there as crash-*, and the target's own binary replays it:
#   build/fuzz/fuzz/TARGET_fuzz build/fuzz/fuzz/work/TARGET/crash-...
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

seconds=300
case "${1:-}" in
  "") ;;
  --short) seconds=20 ;;
  *[!0-9]* | 0*) say "usage: scripts/fuzz.sh [--short | SECONDS]"; exit 2 ;;
  *) seconds=$1 ;;
esac

# libFuzzer and the sanitizers come with clang 16 and its runtime libraries; Debian's default clang
# (14) cannot compile the project's use of std::expected.
ensure_packages clang-16 libclang-rt-16-dev make cmake libopenal-dev

targets=(disc_count device_list utf8)
cmake --preset fuzz -DHANOI_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzz}"

say "Fuzzing ${targets[*]} for $seconds seconds each, side by side"
status=0
ctest --test-dir build/fuzz/fuzz --output-on-failure -j "${#targets[@]}" || status=$?

# How much each run tried, from the fuzzers' final statistics in CTest's log.
awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
     /^stat::number_of_executed_units:/ { runs[name] = $2 }
     END { for (name in runs) printf "%s: %s inputs tried\n", name, runs[name] }' \
  build/fuzz/fuzz/Testing/Temporary/LastTest.log | sort >&2
for target in "${targets[@]}"; do
  work=build/fuzz/fuzz/work/$target
  say "$target: corpus of $(find "$work/corpus" -type f | wc -l) inputs in $work/corpus"
  for crash in "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/leak-*; do
    [ -e "$crash" ] && say "$target: failing input kept in $crash"
  done
done
if [ "$status" -ne 0 ]; then
  say "A fuzz target failed: its report is above"
  exit "$status"
fi
say "Every fuzz target ran $seconds seconds without a failure"
