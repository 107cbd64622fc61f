#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks in build/bench and runs them: scripts/bench.sh
# Every figure is measured side by side with its reference in the same run and printed as a ratio
# (peak memory as a difference); a table of the goals closes the output. A missed goal is shown as
# MISS and is not an error: the status is non-zero only when something could not be built or run.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

# Google Benchmark for the synthesis benchmark; openal-info is the reference for start-up and memory;
# mingw-w64, Wine and winegcc for the playback benchmark built for Windows and its OpenAL bridge.
ensure_packages "${run_packages[@]}" libbenchmark-dev openal-info g++-mingw-w64-x86-64-posix wine64 wine64-tools

build=build/bench
cmake --preset bench >/dev/null
cmake --build --preset bench --target hanoi-chimes tone_bench playback_bench startup_bench -j "$(nproc)" >/dev/null
windows=build/windows
cmake --preset windows >/dev/null
cmake --build --preset windows --target playback_bench openal_bridge -j "$(nproc)" >/dev/null

# Every OpenAL run uses OpenAL Soft's null backend: it mixes in real time with no sound card.
export ALSOFT_DRIVERS=null

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

# Runs one benchmark, showing its output without the summary lines, which are kept for the end.
run() {
  printf '\n== %s\n' "$1"
  shift
  "$@" | tee -a "$summary" | { grep -v '^SUMMARY ' || true; }
}

printf 'machine: %s cores, %s, Linux %s\n' "$(nproc)" \
  "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)" "$(uname -r)"
printf 'load average before the run: %s\n' "$(cut -d ' ' -f 1-3 /proc/loadavg)"

run 'Synthesis: render_tone against bare loops of its sine and of sinf over the same frames' "$build/bench/tone_bench"
run 'Playback on the null backend: time beyond the note lengths' "$build/bench/playback_bench" 200
run 'Start-up and peak memory against openal-info' \
  "$build/bench/startup_bench" "$PWD/$build/hanoi-chimes" "$(command -v openal-info)" 40

# What recording costs: the program's CPU time (user and system) over its wall time, for a run of
# 6 discs (14 s) recorded as scripts/record.sh records it and for the same run on the null backend,
# one after the other; the recording's share is the difference.
cpu_share() {
  local times user system wall
  times=$( { TIMEFORMAT='%U %S %R'; time env "$@" "$build/hanoi-chimes" 6 >/dev/null; } 2>&1)
  read -r user system wall <<<"$times"
  awk -v u="$user" -v s="$system" -v w="$wall" 'BEGIN { printf "%.2f", 100 * (u + s) / w }'
}
record_cpu() {
  local dir playing recording extra
  dir=$(mktemp -d)
  write_wave_config "$dir/wave.conf" "$dir/run.wav"
  playing=$(cpu_share ALSOFT_DRIVERS=null)
  recording=$(cpu_share -u ALSOFT_DRIVERS ALSOFT_CONF="$dir/wave.conf")
  rm -rf "$dir"
  extra=$(awk -v r="$recording" -v p="$playing" 'BEGIN { printf "%.2f", r - p }')
  printf 'CPU share of one core: %s%% recorded, %s%% on the null backend\n' "$recording" "$playing"
  printf 'SUMMARY %-52s %-18s %-12s %s\n' "recording: CPU share of one core beyond playing" "+$extra%" "<= +2%" \
    "$(awk -v e="$extra" 'BEGIN { print (e <= 2 ? "PASS" : "MISS") }')"
}
run 'Recording: a run of 6 discs through the wave writer, as the scripts record, against the null backend' record_cpu

# The playback benchmark built for Windows, under Wine, with OpenAL Soft's null backend reached
# through the tests' bridge (tests/wine): its figures carry Wine's own costs, and are labelled so.
wine_playback() {
  local dir wine=tests/wine/wine.sh prefix="$PWD/$windows/wine-prefix"
  dir=$(mktemp -d)
  cp "$windows/bench/playback_bench.exe" "$windows/openal-bridge/OpenAL32.dll" "$dir"
  "$wine" "$prefix" --start
  (cd "$dir" && "$OLDPWD/$wine" "$prefix" ./playback_bench.exe 200) |
    sed -E 's/^SUMMARY (.{46}) {6}/SUMMARY wine: \1/; t; s/^SUMMARY /SUMMARY wine: /'
  "$wine" "$prefix" --stop
  rm -rf "$dir"
}
run 'Playback under Wine 8: the Windows build on the null backend, through the OpenAL bridge' wine_playback

printf '\n== Goals (the figures marked wine: are the Windows build under Wine)\n%-52s %-18s %-12s %s\n' \
  figure measured goal verdict
sed -n 's/^SUMMARY //p' "$summary"
