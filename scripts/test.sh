#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test: scripts/test.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

# Tests also need GoogleTest, OpenAL Soft's openal-info (the device list to compare with), ALSA's
# library (OpenAL Soft's ALSA backend, pointed at a device that does not exist), PulseAudio and
# PipeWire with its PulseAudio service and WirePlumber (the tests start sound servers of their own
# and record what they play; pactl asks them whether they are ready), valgrind (runs of the
# program are checked for memory errors and leaks), dpkg-dev (the Debian package's library
# dependencies), lintian (checks the Debian package), devscripts (hardening-check, for the built and
# the installed program), groff (the manual page's markup, and its text in the Windows package),
# Google Benchmark (the benchmarks are built with the tests, so that they keep compiling;
# scripts/bench.sh runs them), and for the Windows build mingw-w64's compiler, 64-bit Wine to run
# its tests, winegcc to build their OpenAL bridge (GoogleTest's sources come with libgtest-dev) and
# glibc's locale sources (a test makes a Spanish locale, in which Wine's messages are not ASCII);
# clang 16 and its runtime libraries build the fuzz targets (scripts/fuzz.sh).
ensure_packages "${run_packages[@]}" libgtest-dev libbenchmark-dev openal-info libasound2 pulseaudio \
  pulseaudio-utils pipewire pipewire-bin pipewire-pulse wireplumber valgrind dpkg-dev lintian devscripts \
  groff-base g++-mingw-w64-x86-64-posix wine64 wine64-tools locales clang-16 libclang-rt-16-dev

jobs=$(nproc)
# Each phase says when it starts, in seconds since the command began.
phase() { say "== $* ($SECONDS s)"; }

# scripts/test.sh --quick: the plain build, warm, and its tests that need neither real time nor
# Wine: what to run between edits (docs/development.md).
if [ "${1:-}" = --quick ]; then
  cmake --preset test >/dev/null
  cmake --build --preset test -j "$jobs"
  ctest --preset test -j "$jobs" -LE real_time
  exit
fi

# Work started in the background is stopped if the command ends early.
background=()
trap 'kill "${background[@]}" 2>/dev/null || true' EXIT
# Waits for the background job $1 whose output went to the file $2, shows that output, and fails
# with the job.
finish() {
  local status=0
  wait "$1" || status=$?
  cat "$2" >&2
  [ "$status" -eq 0 ] || exit "$status"
}

phase "builds, and the plain build's tests beside them"
# The builds are CMakePresets.json's. The plain one (build/test), warnings as errors and hardened as
# a release is; its tests check the program's runs with valgrind's memcheck. Those that do not play
# in real time mostly wait for the program's runs, so they run while the other builds compile.
cmake --preset test
cmake --preset sanitize
cmake --preset windows
cmake --build --preset test -j "$jobs"
ctest --preset test -j "$jobs" -LE real_time >build/test-tests.log 2>&1 &
background+=($!)
plain_tests=$!
# The same under AddressSanitizer and UndefinedBehaviorSanitizer (build/sanitize), which then check
# the program's runs themselves. Unoptimised: it builds in a third of the time and the sanitizers
# see as much.
cmake --build --preset sanitize -j "$jobs"
# The Windows program and its tests, cross-compiled with mingw-w64 (build/windows), run under Wine.
cmake --build --preset windows -j "$jobs"
# The fuzz targets (scripts/fuzz.sh), built with clang.
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
finish "$plain_tests" build/test-tests.log

phase "the sanitizer build's tests, fuzzing and the style check, side by side"
# Every C++ file against .clang-format and .clang-tidy, with the builds' compile commands, beside
# the sanitizer build's tests that do not play in real time and the fuzzers. The real-time tests
# come after, with the machine to themselves: a recording or a sound server measures the timing of
# OpenAL Soft's mixer, which a busy machine holds up.
# Under the sanitizers the slow tests are left out, as the sanitize preset leaves them out: they
# only measure real time again. (The labels are given here, where a preset's own would win.)
ctest --test-dir build/sanitize --output-on-failure -j "$jobs" -LE 'real_time|slow' >build/sanitize-tests.log 2>&1 &
background+=($!)
sanitize_tests=$!
scripts/check_style.sh >build/style.log 2>&1 &
background+=($!)
style=$!
# The parsers of outside input, fuzzed for a short while with libFuzzer.
scripts/fuzz.sh --short
finish "$sanitize_tests" build/sanitize-tests.log
finish "$style" build/style.log

phase "real-time tests, alone"
ctest --preset test -L real_time
ctest --test-dir build/sanitize --output-on-failure -L real_time -LE slow

phase "the Windows build's tests under Wine"
# One Wine server in the build's own prefix for all of them (a CTest fixture); those that play in
# real time run alone.
ctest --preset windows -j "$jobs"
phase "done"
