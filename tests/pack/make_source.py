#!/usr/bin/env python3
"""Writes a SRC folder for the packer's command-line tests: a UTF-8 script with Japanese text,
a 600 x 300 picture, and payloads under plain, nested and Japanese names.

Usage: make_source.py DIR [cp932]   (cp932: the script in code page 932 instead of UTF-8)
"""
import os
import random
import struct
import sys

folder = sys.argv[1]
encoding = sys.argv[2] if len(sys.argv) > 2 else "utf-8"
rng = random.Random(932)

def write(name, data):
    path = os.path.join(folder, *name.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)

width, height = 600, 300
stride = (width * 3 + 3) & ~3
pixels = bytes(rng.randrange(256) for _ in range(64)) * (stride * height // 64 + 1)
bits = pixels[: stride * height]
header = struct.pack("<2sIHHI", b"BM", 54 + len(bits), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
write("background.bmp", header + info + bits)

script = (
    "*PatchType\n\t1\n\n*LinkPath\n\tMiraldo\\Sorvane\\Sorvane.lnk\n\n"
    "*Caption\n\tSorvane 修正プログラム ver 1.1\n\n*GameTitle\n\tSorvane\n\n"
    "%OutFiles\n\tsov_patch.xp3\n\n\tdata\\sub\\b.dat\n\tデータ\\表.dat\n\tempty.dat\n%%\n"
)
write("script.txt", script.encode(encoding).replace(b"\n", b"\r\n") if encoding == "cp932" else script.encode("utf-8"))
write("sov_patch.xp3", bytes(rng.randrange(256) for _ in range(8183)))
write("data/sub/b.dat", b"nested payload")
write("データ/表.dat", "表の中身".encode("utf-8"))
write("empty.dat", b"")
