#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test: scripts/test.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

# Tests also need GoogleTest, OpenAL Soft's openal-info (the device list to compare with), ALSA's
# library (OpenAL Soft's ALSA backend, pointed at a device that does not exist), valgrind (runs of
# the program are checked for memory errors and leaks), dpkg-dev (the Debian package's library
# dependencies), groff (the manual page's markup) and Google Benchmark (the benchmarks are built
# with the tests, so that they keep compiling; scripts/bench.sh runs them).
ensure_packages "${run_packages[@]}" libgtest-dev libbenchmark-dev openal-info libasound2 valgrind dpkg-dev groff-base

jobs=$(nproc)
# Each phase says when it starts, in seconds since the command began.
phase() { say "== $* ($SECONDS s)"; }

phase "plain build and tests"
# The plain build: every test; the program's runs are checked by valgrind's memcheck.
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHANOI_WERROR=ON -DHANOI_BENCH=ON
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

phase "sanitizer build and tests"
# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, which also check
# the program's runs. The default run of 8 discs is left out: it only measures real time again.
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHANOI_WERROR=ON -DHANOI_SANITIZE=address,undefined
cmake --build build/sanitize -j "$jobs"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs" --label-exclude slow

phase "fuzzing"
# The parsers of outside input, fuzzed for a short while with libFuzzer (clang 16).
scripts/fuzz.sh --short

phase "style"
# Every C++ file against .clang-format and .clang-tidy, with both builds' compile commands.
scripts/check_style.sh
phase "done"
