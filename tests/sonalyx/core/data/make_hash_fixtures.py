#!/usr/bin/env python3
"""Writes the small files of the sample-hash tests into this folder (run once; the files are
committed). Contents are seeded pseudo-random bytes, so rerunning gives the same files.

  id3_0201_24000.mp3  24,000 bytes, ID3v2 header with size bytes 00 00 02 01
  id3_stale_3000.mp3   3,000 bytes, same header: the last chunk passes the end of the file
  id3_past_end.mp3     2,000 bytes, size bytes 7f 7f 7f 7f (tag larger than the file)
  notag_50000.mp3     50,000 bytes, no ID3 header
  tiny_5.mp3               5 bytes "ID3\\0\\0" (fewer than ten header bytes)
  stale_30000.wav     30,000 bytes
  whole_10000.wav     10,000 bytes
  whole_10000.m4a     10,000 bytes
"""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))


def noise(seed, n):
    rng = random.Random(seed)
    data = bytearray(rng.getrandbits(8) for _ in range(n))
    if data[:3] == b"ID3":
        data[0] = 0
    return data


def id3(size_bytes, n, seed):
    data = noise(seed, n)
    data[0:10] = b"ID3\x03\x00\x00" + bytes(size_bytes)
    return data


FILES = {
    "id3_0201_24000.mp3": id3([0x00, 0x00, 0x02, 0x01], 24000, 1),
    "id3_stale_3000.mp3": id3([0x00, 0x00, 0x02, 0x01], 3000, 2),
    "id3_past_end.mp3": id3([0x7F, 0x7F, 0x7F, 0x7F], 2000, 3),
    "notag_50000.mp3": noise(4, 50000),
    "tiny_5.mp3": bytearray(b"ID3\x00\x00"),
    "stale_30000.wav": noise(5, 30000),
    "whole_10000.wav": noise(6, 10000),
    "whole_10000.m4a": noise(7, 10000),
}

for name, data in FILES.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
