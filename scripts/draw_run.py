#!/usr/bin/python3
"""Draws what a recorded run of hanoi-chimes sounds like:
    scripts/draw_run.py RUN.wav RUN.txt OUT.png|OUT.svg

RUN.wav is a recording made by scripts/record.sh, RUN.txt what the program printed meanwhile. The
notes are found in the recording itself: where it sounds, from the signal's magnitude; where one
note gives way to the next, from a change in the time between zero crossings; the pitch, from a
line fitted through a note's zero crossings. The picture has one bar per note heard (time across,
pitch up) and each move's line beside its two notes. The notes heard are listed on stdout.
"""
import math
import struct
import sys
from typing import NamedTuple

import numpy as np
from matplotlib.figure import Figure

SILENCE = 0.01          # a sample is silent at or below this fraction of the recording's peak
MIN_GAP_S = 0.0005      # silence at least this long separates two sounding stretches
PITCH_TOLERANCE = 0.01  # a period this much off the one before starts a new note
MIN_PERIODS = 3         # a steady pitch must last this many periods to count as a note
NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]
SAMPLE_TYPES = {(1, 8): "u1", (1, 16): "<i2", (1, 32): "<i4", (3, 32): "<f4", (3, 64): "<f8"}


class Note(NamedTuple):
    start_s: float
    length_s: float
    frequency_hz: float


class Tone(NamedTuple):
    """A sine that rises through zero at origin + k * period samples."""
    origin: float
    period: float
    amplitude: float

    def at(self, i):
        return self.amplitude * np.sin(2 * np.pi * (i - self.origin) / self.period)


def read_wav(path):
    """The recording's channels mixed to one, and its sample rate."""
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    chunks, at = {}, 12
    while at + 8 <= len(data):
        size = int.from_bytes(data[at + 4:at + 8], "little")
        chunks.setdefault(data[at:at + 4], data[at + 8:at + 8 + size])
        at += 8 + size + size % 2
    fmt, samples = chunks.get(b"fmt ", b""), chunks.get(b"data", b"")
    tag, channels, rate, _, _, bits = struct.unpack("<HHIIHH", fmt[:16]) if len(fmt) >= 16 else [0] * 6
    if tag == 0xFFFE:  # extensible: the sub-format GUID opens with the real tag
        tag = int.from_bytes(fmt[24:26], "little")
    if (tag, bits) not in SAMPLE_TYPES or channels == 0 or rate == 0:
        sys.exit(f"{path}: not a format this script reads (tag {tag}, {bits} bits, {channels} channels, {rate} Hz)")
    frame = channels * bits // 8
    x = np.frombuffer(samples[:len(samples) // frame * frame], SAMPLE_TYPES[tag, bits]).astype(float)
    if x.size == 0:
        sys.exit(f"{path}: no samples")
    return (x - 128 if bits == 8 else x).reshape(-1, channels).mean(axis=1), rate


def stretches(x, level, min_gap):
    """(begin, end) sample ranges that sound, separated by at least min_gap silent samples."""
    loud = np.flatnonzero(np.abs(x) > level)
    if loud.size == 0:
        return []
    breaks = np.flatnonzero(np.diff(loud) > min_gap)
    return list(zip(np.r_[loud[0], loud[breaks + 1]], np.r_[loud[breaks], loud[-1]] + 1))


def rising_crossings(x, begin, end):
    """Times in samples, between samples, where x rises through zero within [begin, end)."""
    part = x[begin:end]
    i = np.flatnonzero((part[:-1] < 0) & (part[1:] >= 0))
    return begin + i + part[i] / (part[i] - part[i + 1])


def steady_runs(c):
    """(first, last) crossing indices of stretches of steady period; ragged periods are left out."""
    periods = np.diff(c)
    cuts = np.flatnonzero(np.abs(periods[1:] / periods[:-1] - 1) > PITCH_TOLERANCE) + 1
    bounds = np.r_[0, cuts, periods.size]
    return [(a, b) for a, b in zip(bounds[:-1], bounds[1:]) if b - a >= MIN_PERIODS]


def fit_tone(x, c, first, last):
    """Least-squares line through crossings first..last; amplitude from their whole periods."""
    period, origin = np.polyfit(np.arange(first, last + 1), c[first:last + 1], 1)
    return Tone(origin, period, math.sqrt(2 * np.mean(x[math.ceil(c[first]):math.floor(c[last])] ** 2)))


def handover(x, lo, hi, before, after):
    """The sample in [lo, hi] where `before` gives way to `after` with the least squared error."""
    i = np.arange(lo, hi)
    err_before, err_after = (x[i] - before.at(i)) ** 2, (x[i] - after.at(i)) ** 2
    cost = np.r_[0, np.cumsum(err_before)] + np.r_[np.cumsum(err_after[::-1])[::-1], 0]
    return lo + int(np.argmin(cost))


def find_notes(x, rate):
    """The notes heard, in order: told apart by silence and by changes of pitch."""
    notes = []
    for begin, end in stretches(x, SILENCE * np.abs(x).max(), round(MIN_GAP_S * rate)):
        c = rising_crossings(x, begin, end)
        runs = steady_runs(c)
        # A run's crossing next to another tone may belong to that tone: leave it out of the fit.
        runs = [(a + (r > 0), b - (r + 1 < len(runs))) for r, (a, b) in enumerate(runs)]
        tones = [fit_tone(x, c, a, b) for a, b in runs]
        bounds = [begin]
        for r in range(len(runs) - 1):
            lo, hi = math.floor(c[runs[r][1]]), math.ceil(c[runs[r + 1][0]])
            bounds.append(max(bounds[-1], handover(x, lo, min(hi, end), tones[r], tones[r + 1])))
        bounds.append(end)
        notes += [Note(b / rate, (e - b) / rate, rate / t.period) for b, e, t in zip(bounds, bounds[1:], tones)]
    return notes


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
    notes = find_notes(*read_wav(wav))
    if len(notes) != 2 * len(moves):
        sys.exit(f"{wav}: {len(notes)} notes heard, but the {len(moves)} moves of {lines} make {2 * len(moves)}")
    for n in notes:
        print(f"{n.start_s:7.4f} s {n.length_s * 1000:6.1f} ms {n.frequency_hz:7.2f} Hz "
              f"{note_name(round(semitone(n.frequency_hz)))}")
    draw(notes, moves, f"hanoi-chimes: a recorded run of {len(moves)} moves, the {len(notes)} notes heard in it", out)
    print(f"Wrote {out}", file=sys.stderr)


if __name__ == "__main__":
    main()
