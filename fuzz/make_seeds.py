#!/usr/bin/env python3
"""Writes a small seed corpus for each rule fuzzer: files at the edges of every form, so that
the fuzzer starts from the full-flash lengths it would hardly find by mutation alone.
Usage: make_seeds.py OUTPUT_FOLDER (creates OUTPUT_FOLDER/{mcu,dsp,battery,wav})."""
import os
import struct
import sys


def image(length, marker_at, marker, version, fill=0x11):
    data = bytearray([fill]) * length
    blob = marker + version
    data[marker_at:marker_at + len(blob)] = blob
    return bytes(data[:length])


def wav(length):
    header = (b"RIFF" + struct.pack("<I", 28836) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 1, 1, 48000, 144000, 3, 24) + b"data" + struct.pack("<I", 28800))
    return (header + bytes(range(256)) * 200)[:length]


SEEDS = {
    "mcu": [image(0x20000, 0x6010, b"APPV", b"1.38\0\0\0\0", 0xFF), image(0x1A000, 0x10, b"APPV", b"1.38"),
            image(0x18, 0x10, b"APPV", b"1.38"), image(0x400, 0x10, b"APPV", b"1.38abcd")],
    "dsp": [image(0x80000, 0x7F004, b"DSPV", b"0.250"), image(0x7FFFF, 4, b"DSPV", b"0.250"),
            image(16, 4, b"DSPV", b"0.250"), image(0x400, 4, b"DSPV", b"0.2")],
    "battery": [image(0x8000, 0x2010, b"BATV", b"1.02", 0xFF), image(0x6000, 0x10, b"BATV", b"1.02"),
                image(0x18, 0x10, b"BATV", b"1.02")],
    "wav": [wav(16428), wav(16427), wav(28844)],
}

for rule, seeds in SEEDS.items():
    folder = os.path.join(sys.argv[1], rule)
    os.makedirs(folder, exist_ok=True)
    for i, seed in enumerate(seeds):
        with open(os.path.join(folder, "seed%d" % i), "wb") as out:
            out.write(seed)
