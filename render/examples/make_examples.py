#!/usr/bin/env python3
"""Writes render/examples/two-hands.mid, the MIDI file the README's examples render.

Run once; the .mid is committed. A type 1 file of eight bars at 100 bpm: track 1
holds the name, tempo and time signature, track 2 "Melody" plays on channel 1,
track 3 "Bass" on channel 2. Each note ends a little before the next begins. Both
hands sound at once, so a monophonic instrument plays the one chosen with
--track or --channel.
"""
import struct

TICKS = 480  # a quarter note
TEMPO_US = 600000  # 100 bpm

# (key, beats); key 0 is a rest.
MELODY = [
    (64, 1), (67, 1), (72, 1), (71, 1), (69, 1), (67, 1), (65, 2),
    (64, 1), (65, 1), (67, 1), (69, 1), (67, 3), (0, 1),
    (72, 1), (71, 1), (69, 1), (67, 1), (65, 1), (64, 1), (62, 2),
    (64, 1), (62, 1), (60, 2), (60, 3), (0, 1),
]
BASS = [
    (48, 2), (55, 2), (53, 2), (48, 2), (48, 2), (53, 2), (55, 4),
    (57, 2), (53, 2), (50, 2), (55, 2), (48, 2), (55, 2), (48, 4),
]


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    return bytes(reversed(out))


def meta(kind, data):
    return bytes([0xFF, kind]) + var_len(len(data)) + data


def track(events):
    """events: (tick, bytes) in time order; End of Track follows the last."""
    body, last = bytearray(), 0
    for tick, data in events:
        body += var_len(tick - last) + data
        last = tick
    body += var_len(0) + meta(0x2F, b"")
    return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


def part(name, channel, notes, velocity):
    events, tick = [(0, meta(0x03, name.encode()))], 0
    for key, beats in notes:
        length = beats * TICKS
        if key:
            events.append((tick, bytes([0x90 | channel, key, velocity])))
            events.append((tick + length * 7 // 8, bytes([0x80 | channel, key, 64])))
        tick += length
    return track(events)


def main(path="render/examples/two-hands.mid"):
    conductor = track([
        (0, meta(0x03, b"Two hands")),
        (0, meta(0x51, TEMPO_US.to_bytes(3, "big"))),
        (0, meta(0x58, bytes([4, 2, 24, 8]))),
    ])
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 1, 3, TICKS))
        f.write(conductor + part("Melody", 0, MELODY, 96) + part("Bass", 1, BASS, 80))
    print(path)


if __name__ == "__main__":
    main()
