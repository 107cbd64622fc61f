#!/usr/bin/python3
"""Draws what a recorded run of hanoi-chimes sounds like:
    scripts/draw_run.py RUN.wav RUN.txt OUT.png|OUT.svg

RUN.wav is a recording made by scripts/record.sh, RUN.txt what the program printed meanwhile. The
notes are found in the recording itself, by the note finder the tests judge recordings with
(tests/wav, whose wav_notes tool this script builds in build/wav-notes). The picture has one bar
per note heard (time across, pitch up) and each move's line beside its two notes. The notes heard
are listed on stdout.
"""
import csv
import math
import subprocess
import sys
from pathlib import Path
from typing import NamedTuple

from matplotlib.figure import Figure

ROOT = Path(__file__).resolve().parent.parent
TOOL_BUILD = ROOT / "build" / "wav-notes"
NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]


class Note(NamedTuple):
    start_s: float
    length_s: float
    frequency_hz: float


def run(command):
    """Runs a command for its output; its error output and status end this script if it fails."""
    done = subprocess.run([str(part) for part in command], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(done.stderr.strip() or f"{command[0]} failed with status {done.returncode}")
    return done.stdout


def find_notes(wav):
    """The notes heard in the recording, in order, as tests/wav's note finder finds them."""
    run(["cmake", "-S", ROOT / "tests" / "wav", "-B", TOOL_BUILD, "-DCMAKE_BUILD_TYPE=Release"])
    run(["cmake", "--build", TOOL_BUILD, "--target", "wav_notes"])
    rows = csv.DictReader(run([TOOL_BUILD / "wav_notes", wav]).splitlines())
    return [Note(float(row["start_s"]), float(row["length_s"]), float(row["frequency_hz"])) for row in rows]


def semitone(frequency_hz):
    """Pitch as a MIDI note number (69 is A4 at 440 Hz), not rounded."""
    return 69 + 12 * math.log2(frequency_hz / 440)


def note_name(number):
    return f"{NAMES[number % 12]}{number // 12 - 1}"


def draw(notes, moves, title, out):
    end_s = max(n.start_s + n.length_s for n in notes)
    # Wide enough for a move of two 100 ms notes to hold its line in two rows.
    fig = Figure(figsize=(max(12, 6.5 * end_s), 5), dpi=100, layout="constrained")
    ax = fig.subplots()
    pitch = [semitone(n.frequency_hz) for n in notes]
    for m, line in enumerate(moves):
        first, second = notes[2 * m:2 * m + 2]
        left, right = first.start_s, second.start_s + second.length_s
        ax.axvspan(left, right, color="#eef2f7" if m % 2 == 0 else "#ffffff", zorder=0)
        ax.text((left + right) / 2, max(pitch[2 * m:2 * m + 2]) + 0.55, line.replace(" from", "\nfrom"),
                ha="center", va="bottom", fontsize=8, linespacing=1.1)
    ax.barh(pitch, [n.length_s for n in notes], left=[n.start_s for n in notes], height=0.7, color="#3b6ea8")
    for n, y in zip(notes, pitch):
        ax.text(n.start_s + n.length_s / 2, y, f"{n.length_s * 1000:.1f} ms", ha="center", va="center",
                fontsize=6.5, color="white")
    low, high = round(min(pitch)), round(max(pitch))
    naturals = [s for s in range(low, high + 1) if "#" not in note_name(s)]
    ax.set_yticks(naturals, [f"{note_name(s)}  {440 * 2 ** ((s - 69) / 12):.2f} Hz" for s in naturals])
    ax.set_yticks(range(low, high + 1), minor=True)
    ax.set(ylim=(low - 1, high + 2.5), xlim=(0, end_s + 0.02), title=title, ylabel="pitch",
           xlabel="time from the start of the recording (s)")
    ax.grid(True, which="both", color="#cccccc", linewidth=0.6)
    ax.set_axisbelow(True)
    fig.savefig(out)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: scripts/draw_run.py RUN.wav RUN.txt OUT.png|OUT.svg")
    wav, lines, out = sys.argv[1:]
    moves = [line for line in open(lines).read().splitlines() if line.startswith("Moving disc ")]
    if not moves:
        sys.exit(f"{lines}: no move lines")
    notes = find_notes(wav)
    if len(notes) != 2 * len(moves):
        sys.exit(f"{wav}: {len(notes)} notes heard, but the {len(moves)} moves of {lines} make {2 * len(moves)}")
    for n in notes:
        print(f"{n.start_s:7.4f} s {n.length_s * 1000:6.1f} ms {n.frequency_hz:7.2f} Hz "
              f"{note_name(round(semitone(n.frequency_hz)))}")
    draw(notes, moves, f"hanoi-chimes: a recorded run of {len(moves)} moves, the {len(notes)} notes heard in it", out)
    print(f"Wrote {out}", file=sys.stderr)


if __name__ == "__main__":
    main()
