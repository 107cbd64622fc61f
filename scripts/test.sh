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
    libstdc++6:arm64 libopenal1:arm64 libopenal-dev:arm64 llvm-14)
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    say "Adding the arm64 architecture, for the arm64 build's libraries"
    if [ "$(id -u)" -eq 0 ]; then dpkg --add-architecture arm64; else sudo dpkg --add-architecture arm64; fi
  fi
fi
ensure_packages "${packages[@]}"
# zig's clang and libc++ (scripts/lib/zig.sh), for the macOS program and the libcxx build, and
# llvm-14's tools, which join and read the macOS program: zig's Linux release is x86-64's.
if [ "$host_architecture" = amd64 ]; then
  source scripts/lib/zig.sh
  ensure_zig
fi

jobs=$(nproc)
# Each phase, and each build within one, says when it starts, in seconds since the command began.
phase() { say "== $* ($SECONDS s)"; }
build() {
  say "== build/$1 ($SECONDS s)"
  cmake --build --preset "$@" -j "$jobs"
}

# scripts/test.sh --quick: the plain build, warm, and its tests that need neither real time nor
# Wine: what to run between edits (docs/development.md).
if [ "${1:-}" = --quick ]; then
  cmake --preset test >/dev/null
  build test
  ctest --preset test -j "$jobs" -LE real_time
  exit
fi

# Work in the background runs in a session of its own (setsid), and so in a process group of its
# own that holds everything it starts: the tests and the programs they run. Whatever way this
# command ends, every such group still running is ended whole, and killed if it outlasts a second.
background=()
stop_background() {
  local pid alive=()
  for pid in "${background[@]}"; do kill -TERM -- "-$pid" 2>/dev/null && alive+=("$pid"); done
  [ "${#alive[@]}" -eq 0 ] && return 0
  sleep 1
  for pid in "${alive[@]}"; do kill -KILL -- "-$pid" 2>/dev/null || true; done
}
trap stop_background EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Starts "$@" in the background, its output to the file build/$1.log ($1 names the job); sets
# started to its process's id, which is also its process group's. With --nice N after the name it
# runs at niceness N, also as a session against the others: the kernel's autogroups give each
# session an equal share of the processors, whatever the niceness of its processes.
start() {
  local name=$1 niceness=0
  shift
  if [ "$1" = --nice ]; then
    niceness=$2
    shift 2
  fi
  say "== $name, in the background ($SECONDS s)"
  # shellcheck disable=SC2016 # the inner shell expands them
  setsid bash -c '{ echo "$0" >/proc/self/autogroup; } 2>/dev/null; exec nice -n "$0" "$@"' "$niceness" "$@" \
    >"build/$name.log" 2>&1 &
  started=$!
  background+=("$started")
}
# Waits for the background job $1 whose output went to build/$2.log, shows that output, and fails
# with the job.
finish() {
  local status=0 pid running=()
  wait "$1" || status=$?
  for pid in "${background[@]}"; do [ "$pid" = "$1" ] || running+=("$pid"); done
  background=("${running[@]}")
  cat "build/$2.log" >&2
  say "== $2 finished ($SECONDS s)"
  [ "$status" -eq 0 ] || exit "$status"
}

phase "builds, with the tests that need no machine of their own beside them"
# The builds are CMakePresets.json's, one after the other; each build's tests that do not play in
# real time start as soon as it is made, and mostly wait for the program's runs, so the builds
# after it go on beside them.
# They are configured side by side: configuring mostly waits for the compilers' probes.
presets=(test run sanitize fuzz)
[ "$host_architecture" != amd64 ] || presets+=(windows aarch64 libcxx macos)
mkdir -p build
configuring=()
for preset in "${presets[@]}"; do
  start "configure-$preset" cmake --preset "$preset"
  configuring+=("$started")
done
for index in "${!presets[@]}"; do finish "${configuring[$index]}" "configure-${presets[$index]}"; done
# Every C++ file against .clang-format and .clang-tidy, with the builds' compile commands (the
# configured builds have them), and every shell script with shellcheck. It computes and waits for
# nothing, so it runs at the idle priority (SCHED_IDLE) all along: it gets a processor only when
# nothing else wants one, mostly while the real-time tests below wait for their notes.
start style --nice 19 chrt --idle 0 scripts/check_style.sh
style=$started
# The fuzz targets (build/fuzz, with clang), the Windows program and its tests, cross-compiled with
# mingw-w64 (build/windows) and run under Wine last, the arm64 program and its tests,
# cross-compiled with Debian's aarch64 compiler (build/aarch64), the program and its tests with
# zig's clang and libc++, the macOS build's compiler and library, for this machine (build/libcxx),
# and the universal macOS program, packed (build/macos): one after the other, in the background at
# a lower priority (nice 10). A build often waits for one file or one link; these take that time
# from the builds below, which come first.
later_builds=(fuzz)
[ "$host_architecture" != amd64 ] || later_builds+=(windows aarch64 libcxx macos)
# shellcheck disable=SC2016 # the inner shell expands them
start later-builds --nice 10 bash -c 'for preset in "${@:3}"; do
  echo "== build/$preset ($(($2 + SECONDS)) s)"; cmake --build --preset "$preset" -j "$1" || exit
done' bash "$jobs" "$SECONDS" "${later_builds[@]}"
later_builds_job=$started
# The plain build (build/test), warnings as errors and hardened as a release is; its tests check
# the program's runs with valgrind's memcheck.
build test
start test-tests ctest --preset test -j "$jobs" -LE real_time
plain_tests=$started
# The release program alone (build/run), which scripts/run.sh builds and a real-time test runs.
build run --target hanoi-chimes
# The same under AddressSanitizer and UndefinedBehaviorSanitizer (build/sanitize), which then check
# the program's runs themselves. Unoptimised: it builds in a third of the time and the sanitizers
# see as much. Left out, besides the real-time tests: the slow ones, which only measure real time
# again, as the sanitize preset leaves them out (the labels are given here, where the preset's own
# would be required as well), and every note's sines, which the other builds check.
build sanitize
start sanitize-tests ctest --test-dir build/sanitize --output-on-failure --no-tests=error -j "$jobs" -LE 'real_time|slow'
sanitize_tests=$started
finish "$later_builds_job" later-builds
# The arm64 build's tests under qemu-user: the unit tests (every note's sines and frames among
# them) and the program's runs on the fake OpenAL and on OpenAL Soft's null backend. Left out are
# the tests of real time (the recordings and the sound servers), the installation, the runs that
# valgrind checks, and a few that the emulator cannot run or that would take too long:
# cmake/CrossTesting.cmake and tests/CMakeLists.txt say why.
# Beside them the libcxx build's, as the arm64 build's are chosen. The macOS program is checked
# where it cannot run: both processors, only the system's libraries, the arm64 one signed
# (scripts/macos.sh --check, which finds it built).
if [ "$host_architecture" = amd64 ]; then
  start aarch64-tests ctest --preset aarch64 -j "$jobs"
  arm64_tests=$started
  start libcxx-tests ctest --preset libcxx -j "$jobs"
  libcxx_tests=$started
  scripts/macos.sh --check >/dev/null
else
  say "Skipped: the Windows, arm64, libcxx and macOS builds are made on an x86-64 host (zig's Linux release is x86-64's), and this one is $host_architecture"
fi
# The parsers of outside input, fuzzed for a short while with libFuzzer.
scripts/fuzz.sh --short
finish "$plain_tests" test-tests
finish "$sanitize_tests" sanitize-tests
if [ "$host_architecture" = amd64 ]; then
  finish "$arm64_tests" aarch64-tests
  finish "$libcxx_tests" libcxx-tests
fi

phase "real-time tests, with the machine to themselves but for the style check's idle time"
# A recording or a sound server measures the timing of OpenAL Soft's mixer, which a busy machine
# holds up: these run one at a time, with nothing else running at a normal priority.
ctest --preset test -L real_time
ctest --preset sanitize -L real_time

phase "the Windows build's tests under Wine"
# One Wine server in the build's own prefix for all of them (a CTest fixture); those that play in
# real time run alone.
if [ "$host_architecture" = amd64 ]; then
  ctest --preset windows -j "$jobs"
else
  say "Skipped: Wine runs x86-64 Windows programs only on an x86-64 host, and this one is $host_architecture"
fi

phase "the style check"
finish "$style" style

phase "done"
