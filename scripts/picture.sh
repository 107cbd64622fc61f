#!/usr/bin/env bash
# Draws docs/run-DISCS-discs.png, what a run sounds like, from a fresh recording:
#   scripts/picture.sh [DISCS]     (3 discs unless told)
# Installs what is missing, records the run with scripts/record.sh into a temporary folder and
# draws the notes heard in it with scripts/draw_run.py.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib/common.sh

discs=${1:-3}
# The disc count names the picture's file, so only plain digits.
if ! [[ $discs =~ ^[0-9]+$ ]] || [ $# -gt 1 ]; then
  echo "usage: scripts/picture.sh [DISCS]" >&2
  exit 2
fi
ensure_packages python3-numpy python3-matplotlib
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/record.sh "$work/run.wav" "$discs" >"$work/run.txt"
mkdir -p docs
# draw_run.py runs on Debian's python3, which has Debian's numpy and matplotlib.
scripts/draw_run.py "$work/run.wav" "$work/run.txt" "docs/run-$discs-discs.png"
