#!/usr/bin/env bash
# Builds hanoi-chimes and runs it: scripts/run.sh [DISCS]
# Installs what is missing first. On a machine with no audio output the run is recorded to a WAV
# file instead, and the file is named on standard error.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

program=$(build_program)
if has_audio_output; then
  exec "$program" "$@"
fi

# The disc count read as the program reads it (src/disc_count.cpp): an optional "+", then decimal
# digits, 1 to 64. A count it refuses is left to the program to report, with nothing said about a
# recording that will not be made.
if [ $# -eq 0 ]; then
  discs=8
elif [[ $1 =~ ^\+?0*([0-9]{1,10})$ ]] && ((10#${BASH_REMATCH[1]} >= 1 && 10#${BASH_REMATCH[1]} <= 64)); then
  discs=$((10#${BASH_REMATCH[1]}))
else
  exec "$program" "$@"
fi

mkdir -p recordings
wav="$PWD/recordings/hanoi-chimes-$discs.wav"
config=$(mktemp)
trap 'rm -f "$config"' EXIT
write_wave_config "$config" "$wav"
say "No audio output on this machine (no sound card, no sound server): recording to $wav"
status=0
env -u ALSOFT_DRIVERS ALSOFT_CONF="$config" "$program" "$@" || status=$?
[ -s "$wav" ] && say "Recorded: $wav"
exit "$status"
