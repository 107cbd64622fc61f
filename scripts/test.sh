#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test: scripts/test.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

# Tests also need GoogleTest, OpenAL Soft's openal-info (the device list to compare with), ALSA's
# library (OpenAL Soft's ALSA backend, pointed at a device that does not exist), PulseAudio (the
# tests start sound servers of their own and record what they play), valgrind (runs of the
# program are checked for memory errors and leaks), dpkg-dev (the Debian package's library
# dependencies), lintian (checks the Debian package), devscripts (hardening-check, for the built and
# the installed program), groff (the manual page's markup) and Google Benchmark (the benchmarks are
# built with the tests, so that they keep compiling; scripts/bench.sh runs them).
ensure_packages "${run_packages[@]}" libgtest-dev libbenchmark-dev openal-info libasound2 pulseaudio \
  pulseaudio-utils valgrind dpkg-dev lintian devscripts groff-base

jobs=$(nproc)
# Each phase says when it starts, in seconds since the command began.
phase() { say "== $* ($SECONDS s)"; }

phase "builds"
# The builds are CMakePresets.json's. The plain one (build/test), warnings as errors and hardened as
# a release is; its tests check the program's runs with valgrind's memcheck.
cmake --preset test
cmake --build --preset test -j "$jobs"
# The same under AddressSanitizer and UndefinedBehaviorSanitizer (build/sanitize), which then check
# the program's runs themselves. Unoptimised: it builds in a third of the time and the sanitizers
# see as much.
cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"

phase "fuzzing"
# The parsers of outside input, fuzzed for a short while with libFuzzer (clang 16).
scripts/fuzz.sh --short

phase "tests, and the style check alongside them"
# Every C++ file against .clang-format and .clang-tidy, with both builds' compile commands. The
# tests spend most of their time waiting out the program's notes, so the check runs beside them.
scripts/check_style.sh >build/style.log 2>&1 &
style=$!
trap 'kill "$style" 2>/dev/null || true' EXIT
ctest --preset test -j "$jobs"
# The sanitize preset leaves out the default run of 8 discs: it only measures real time again.
ctest --preset sanitize -j "$jobs"
if ! wait "$style"; then
  cat build/style.log >&2
  exit 1
fi
cat build/style.log >&2
phase "done"
