#!/usr/bin/env python3
"""Wave files that can be told apart by ear, and how often each was heard.

  sound_tool.py make FILE SEED     a 0.5 s wave (8 kHz, mono, 16 bits) of noise of its own
  sound_tool.py count FILE CAPTURE how many times FILE's samples stand in CAPTURE,
                                   the raw samples that ALSA's file device wrote
  sound_tool.py overstate FILE N   makes FILE's header claim N times the samples it
                                   holds, as a download cut short leaves it
"""
import random
import struct
import sys

RATE = 8000
RUN = 2000  # bytes of a file's samples that identify it in the capture


def make(path, seed):
    rng = random.Random(seed)
    samples = b"".join(struct.pack("<h", rng.randint(-20000, 20000)) for _ in range(RATE // 2))
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + samples
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def samples_of(path):
    data = open(path, "rb").read()
    at = data.index(b"data")
    size = struct.unpack("<I", data[at + 4:at + 8])[0]
    return data[at + 8:at + 8 + size]


def count(path, capture):
    run = samples_of(path)[:RUN]
    heard = open(capture, "rb").read()
    found, at = 0, heard.find(run)
    while at >= 0:
        found += 1
        at = heard.find(run, at + len(run))
    return found


def overstate(path, times):
    data = bytearray(open(path, "rb").read())
    at = data.index(b"data")
    size = struct.unpack_from("<I", data, at + 4)[0]
    struct.pack_into("<I", data, at + 4, size * times)
    struct.pack_into("<I", data, 4, len(data) - 8 + size * (times - 1))
    open(path, "wb").write(data)


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == "count":
        print(count(sys.argv[2], sys.argv[3]))
    elif sys.argv[1] == "overstate":
        overstate(sys.argv[2], int(sys.argv[3]))
