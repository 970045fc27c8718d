#!/usr/bin/env python3
"""Writes the seed corpus of store files, valid and damaged, for the store
reader's fuzz target and its replay test."""
import os
import random
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
os.makedirs(out, exist_ok=True)


def i32(v):
    return struct.pack("<i", v)


def f32(v):
    return struct.pack("<f", v)


def text(b):
    n = len(b)
    if n < 255:
        return bytes([n]) + b
    if n < 0xFFFE:
        return b"\xff" + struct.pack("<H", n) + b
    return b"\xff\xff\xff" + struct.pack("<I", n) + b


def header(count):
    return b"".join(i32(v) for v in (2000, 2000, 0, 2000, 0, 0, 0, 0, 0)) + text(b"") * 5 + i32(count)


def scheme(name, caption=b""):
    r = text(name) + text(b"/out") + i32(0) + text(b"")
    r += b"".join(i32(v) for v in (1, 1, 2, 1600, 800, 600, 1, 1, 85, 5, 0, 1))
    r += text(caption) + i32(120) + text(b"Arial")
    r += b"".join(i32(v) for v in (1, 700, 1, 0, 0, 0, 0xFFFFFF))
    r += f32(0.05) + f32(0.9)
    r += i32(1) + text(b"Frame") + i32(0) + text(b"") * 8
    r += b"".join(i32(v) for v in (0, 0, 1, 0))
    r += text(b"Seal") + text(b"seal.bmp") + text(b"") + f32(0.8) + f32(0.8)
    r += b"".join(i32(v) for v in (1, 1, 60, 0, 1, 1, 1, 1, 55, 0, 1, 1, 1, 1, 3, 0, 1, 0, 0))
    r += f32(0.0)
    r += b"".join(i32(v) for v in (0, 2, 0, 0, 0, 0, 2, 0, 0)) + i32(0) * 10
    r += text(b"") * 10
    return r


gbk = "网页发布".encode("gbk")
valid = header(2) + scheme(gbk, "版权所有".encode("gbk")) + scheme(b"Thumbs", b"x" * 300)
files = {
    "valid-two": valid,
    "valid-empty": header(0),
    "zero-bytes": b"",
    "one-byte": b"\x07",
    "header-cut": valid[:30],
    "count-cut": valid[:43],
    "record-cut-early": valid[:60],
    "record-cut-late": valid[: len(valid) - 3],
    "absurd-count": header(0x7FFFFFFF) + scheme(b"only"),
    "negative-count": header(-5) + scheme(b"only"),
    "text-runs-past-end": header(1) + b"\xff\xff\xff" + struct.pack("<I", 0xFFFFFFF0) + b"abc",
    "wide-text-marker": header(1) + b"\xff\xfe\xff" + b"\x01a",
    "short-form-past-end": header(1) + b"\xfe" + b"a" * 10,
    "invalid-gb18030": header(1) + scheme(b"\x81\xff\x80bad\xfe"),
    # Found by attacks on the command-line tool.
    "count-below-schemes": header(1) + scheme(b"one") + scheme(b"two"),
    "trailing-bytes": valid + bytes(range(256)) * 16,
    "trailing-zero": valid + b"\x00",
    "gbk-euro": header(1) + scheme(b"\x80 2024", b"\xa2\xe3"),
    "long-form-length": header(1) + b"\xff\x03\x00Web" + scheme(b"")[1:],
    "longest-form-length": header(1) + b"\xff\xff\xff\x03\x00\x00\x00Web" + scheme(b"")[1:],
    "nul-in-folder": header(1) + text(b"n") + text(b"/tmp/out/victim\x00zzz") + scheme(b"")[6:],
    "control-characters": header(1) + scheme(b"\x1b[2J\x07", b"a\r\nb\x00"),
}
rng = random.Random(20261207)
for k in range(8):
    damaged = bytearray(valid)
    for _ in range(6):
        damaged[rng.randrange(len(damaged))] = rng.randrange(256)
    files["bitflip-%d" % k] = bytes(damaged)
for name, data in files.items():
    with open(os.path.join(out, name + ".bis"), "wb") as f:
        f.write(data)
print("%d files in %s" % (len(files), out))
