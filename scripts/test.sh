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
# its tests, winegcc to build their OpenAL bridge (GoogleTest's sources, for the cross builds, come
# with libgtest-dev) and glibc's locale sources (a test makes a Spanish locale, in which Wine's
# messages are not ASCII); clang 16 and its runtime libraries build the fuzz targets
# (scripts/fuzz.sh).
packages=("${run_packages[@]}" libgtest-dev libbenchmark-dev openal-info libasound2 pulseaudio pulseaudio-utils
  pipewire pipewire-bin pipewire-pulse wireplumber valgrind dpkg-dev lintian devscripts groff-base locales
  clang-16 libclang-rt-16-dev)
# The cross builds run where the host is x86-64: Wine runs only x86-64 Windows programs there, and
# on 64-bit ARM the plain build is already the arm64 one. For the arm64 build Debian's aarch64 cross
# compiler, qemu-user's emulator (built statically, so a test's LD_LIBRARY_PATH reaches only the
# program's own loader), and the arm64 C and C++ libraries and OpenAL Soft (the program opens
# libopenal.so, which the development package provides) through multiarch, which dpkg must know.
host_architecture=$(dpkg --print-architecture)
if [ "$host_architecture" = amd64 ]; then
  packages+=(g++-mingw-w64-x86-64-posix wine64 wine64-tools g++-aarch64-linux-gnu qemu-user-static libc6:arm64
    libstdc++6:arm64 libopenal1:arm64 libopenal-dev:arm64)
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    say "Adding the arm64 architecture, for the arm64 build's libraries"
    if [ "$(id -u)" -eq 0 ]; then dpkg --add-architecture arm64; else sudo dpkg --add-architecture arm64; fi
  fi
fi
ensure_packages "${packages[@]}"

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
if [ "$host_architecture" = amd64 ]; then
  cmake --preset windows
  cmake --preset aarch64
fi
cmake --build --preset test -j "$jobs"
ctest --preset test -j "$jobs" -LE real_time >build/test-tests.log 2>&1 &
background+=($!)
plain_tests=$!
# The same under AddressSanitizer and UndefinedBehaviorSanitizer (build/sanitize), which then check
# the program's runs themselves. Unoptimised: it builds in a third of the time and the sanitizers
# see as much.
cmake --build --preset sanitize -j "$jobs"
# The Windows program and its tests, cross-compiled with mingw-w64 (build/windows), run under Wine.
if [ "$host_architecture" = amd64 ]; then
  cmake --build --preset windows -j "$jobs"
  # The arm64 program and its tests, cross-compiled with Debian's aarch64 compiler (build/aarch64),
  # run under qemu-user.
  cmake --build --preset aarch64 -j "$jobs"
fi
# The fuzz targets (scripts/fuzz.sh), built with clang.
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
finish "$plain_tests" build/test-tests.log

phase "the sanitizer and arm64 builds' tests, fuzzing and the style check, side by side"
# Every C++ file against .clang-format and .clang-tidy, with the builds' compile commands, beside
# the sanitizer build's tests that do not play in real time, the arm64 build's and the fuzzers. The
# real-time tests come after, with the machine to themselves: a recording or a sound server
# measures the timing of OpenAL Soft's mixer, which a busy machine holds up.
# Under the sanitizers the slow tests are left out, as the sanitize preset leaves them out: they
# only measure real time again. (The labels are given here, where a preset's own would win.)
ctest --test-dir build/sanitize --output-on-failure -j "$jobs" -LE 'real_time|slow' >build/sanitize-tests.log 2>&1 &
background+=($!)
sanitize_tests=$!
# The arm64 build's tests under the emulator: the unit tests (every note's sines and frames among
# them) and the program's runs on the fake OpenAL and on OpenAL Soft's null backend. Left out are
# the tests of real time (the recordings and the sound servers), the installation, the runs that
# valgrind checks, and a few that the emulator cannot run or that would take too long:
# cmake/CrossTesting.cmake and tests/CMakeLists.txt say why. On an arm64 host the builds above are
# arm64 builds.
if [ "$host_architecture" = amd64 ]; then
  ctest --preset aarch64 -j "$jobs" >build/aarch64-tests.log 2>&1 &
  background+=($!)
  arm64_tests=$!
else
  say "Skipped: the arm64 build is cross-compiled and emulated on an x86-64 host, and this one is $host_architecture"
fi
scripts/check_style.sh >build/style.log 2>&1 &
background+=($!)
style=$!
# The parsers of outside input, fuzzed for a short while with libFuzzer.
scripts/fuzz.sh --short
finish "$sanitize_tests" build/sanitize-tests.log
[ "$host_architecture" != amd64 ] || finish "$arm64_tests" build/aarch64-tests.log
finish "$style" build/style.log

phase "the macOS program, and the tests with its compiler and library"
# The universal macOS program, cross-compiled with zig's clang and checked where it cannot run:
# both processors, only the system's libraries, the arm64 one signed (scripts/macos.sh --check).
# Then the program and its tests built for this machine with the same clang and libc++
# (build/libcxx), run as the arm64 build's are. zig's Linux release is x86-64's.
if [ "$host_architecture" = amd64 ]; then
  scripts/macos.sh --check >/dev/null
  cmake --preset libcxx
  cmake --build --preset libcxx -j "$jobs"
  ctest --preset libcxx -j "$jobs"
else
  say "Skipped: zig, which builds the macOS program and the libc++ build, is x86-64's, and this host is $host_architecture"
fi

phase "real-time tests, alone"
ctest --preset test -L real_time
ctest --test-dir build/sanitize --output-on-failure -L real_time -LE slow

phase "the Windows build's tests under Wine"
# One Wine server in the build's own prefix for all of them (a CTest fixture); those that play in
# real time run alone.
if [ "$host_architecture" = amd64 ]; then
  ctest --preset windows -j "$jobs"
else
  say "Skipped: Wine runs x86-64 Windows programs only on an x86-64 host, and this one is $host_architecture"
fi

phase "done"
