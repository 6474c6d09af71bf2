#!/usr/bin/env python3
"""Writes bench/phrase.mid: the 60-second monophonic phrase the benchmarks render.

Run once; the .mid is committed, so every machine renders the same notes. 120 bpm,
30 bars of 4/4, one voice: each note ends before the next begins (90 % of its
length sounds), with a rest now and then so release tails and silent blocks occur
as they do in music. Notes run from 36 to 84, so the oscillators move across many
table notes. A fixed-seed generator picks them: the file is the same on every run.
"""
import struct
import sys

TICKS_PER_QUARTER = 480
TEMPO_US = 500000  # 120 bpm
BARS = 30

SCALE = [0, 2, 3, 5, 7, 8, 10]  # natural minor
LENGTHS = [120, 120, 240, 240, 240, 360, 480, 960]  # sixteenth .. half note


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def next(self, n):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 8) % n


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    return bytes(reversed(out))


def phrase():
    rng = Lcg(2024)
    events = []  # (tick, order, bytes): note-offs sort before note-ons at one tick
    tick, end = 0, BARS * 4 * TICKS_PER_QUARTER
    degree = 14  # two octaves above the root
    while tick < end:
        length = min(LENGTHS[rng.next(len(LENGTHS))], end - tick)
        if rng.next(10) == 0:  # a rest
            tick += length
            continue
        degree = max(0, min(28, degree + rng.next(7) - 3))
        note = 36 + 12 * (degree // 7) + SCALE[degree % 7]
        velocity = 70 + rng.next(50)
        events.append((tick, 1, bytes([0x90, note, velocity])))
        events.append((tick + length * 9 // 10, 0, bytes([0x80, note, 64])))
        tick += length
    events.sort(key=lambda e: (e[0], e[1]))
    return events, end


def main(path):
    events, end = phrase()
    track = bytearray()
    track += var_len(0) + bytes([0xFF, 0x51, 3]) + TEMPO_US.to_bytes(3, "big")
    track += var_len(0) + bytes([0xFF, 0x58, 4, 4, 2, 24, 8])
    last = 0
    for tick, _, data in events:
        track += var_len(tick - last) + data
        last = tick
    track += var_len(end - last) + bytes([0xFF, 0x2F, 0])
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS_PER_QUARTER))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)
    print(f"{path}: {len(events) // 2} notes, {end / TICKS_PER_QUARTER / 2:.0f} s")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "bench/phrase.mid")
