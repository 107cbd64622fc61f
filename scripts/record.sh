#!/usr/bin/env bash
# Records a run of hanoi-chimes to a WAV file through OpenAL Soft's wave writer:
#   scripts/record.sh OUT.wav [DISCS]
# The program itself is unchanged; only OpenAL Soft's output goes to the file instead of a device.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: scripts/record.sh OUT.wav [DISCS]" >&2
  exit 2
fi
out=$(realpath -m "$1")
shift
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

program=$(build_program)
config=$(mktemp)
trap 'rm -f "$config"' EXIT
write_wave_config "$config" "$out"
status=0
# ALSOFT_DRIVERS from the environment would override the configuration's driver list.
env -u ALSOFT_DRIVERS ALSOFT_CONF="$config" "$program" "$@" || status=$?
[ -s "$out" ] && say "Recorded: $out"
exit "$status"
