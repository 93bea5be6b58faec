#!/usr/bin/env python3
"""Makes the sample patch: background.bmp, script.txt and sov_patch.xp3 in the given folder.

Everything is computed, so the files are the same on every run.
"""
import math
import os
import struct
import sys

WIDTH, HEIGHT = 600, 300
PANEL_TOP = 232  # the labels, the edit box and the buttons stand below this line


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def pixel(x, y):
    """Colour (r, g, b) of the picture at (x, y), y counted from the top."""
    if y >= PANEL_TOP:
        # A light panel, so that black and blue label text reads well over it.
        t = (y - PANEL_TOP) / (HEIGHT - PANEL_TOP)
        base = mix((250, 246, 236), (236, 230, 214), t)
        if y == PANEL_TOP:
            return (196, 150, 92)
        return base
    # Evening sky, from deep blue to warm orange near the horizon.
    t = y / PANEL_TOP
    sky = mix((38, 52, 120), (250, 170, 110), t ** 1.4)
    # Two ranges of hills.
    far = 150 + 22 * math.sin(x / 53.0) + 12 * math.sin(x / 17.0 + 1.3)
    near = 185 + 18 * math.sin(x / 71.0 + 2.0) + 7 * math.sin(x / 23.0)
    if y > near:
        return mix((58, 96, 70), (34, 64, 48), (y - near) / max(1.0, PANEL_TOP - near))
    if y > far:
        return mix((110, 92, 140), (86, 80, 124), (y - far) / max(1.0, near - far))
    # The sun, low behind the hills.
    dx, dy = x - 430, y - 150
    d = math.hypot(dx, dy)
    if d < 34:
        return mix((255, 236, 170), (255, 210, 120), d / 34)
    if d < 60:
        sky = mix(sky, (255, 214, 150), (60 - d) / 60 * 0.6)
    # A few stars in the upper sky.
    if y < 70 and (x * 7919 + y * 104729) % 997 == 0:
        return (255, 255, 240)
    return sky


def bitmap():
    row_bytes = WIDTH * 3
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up rows
        for x in range(WIDTH):
            r, g, b = pixel(x, y)
            pixels += bytes((b, g, r))
    assert len(pixels) == row_bytes * HEIGHT
    pixels += b"\0\0"  # two bytes of padding at the end, as the stored picture has
    offset = 14 + 40
    file_header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return file_header + info + bytes(pixels)


SCRIPT_LINES = [
    "*PatchType", "\t1", "",
    "*LinkPath", "\tMiraldo\\Sorvane\\Sorvane.lnk", "",
    "*Caption", "\tSorvane 修正プログラム ver 1.1", "",
    "*GameTitle", "\tSorvane", "",
    "*Version", "1.1", "",
    "%OutFiles", "\tsov_patch.xp3", "%%",
]


def script():
    return "".join(line + "\r\n" for line in SCRIPT_LINES).encode("cp932")


def payload():
    """8,183 bytes: a small header and then a fixed pseudo-random sequence."""
    data = bytearray(b"SOVPATCH\x01\x00")
    state = 0x2545F491
    while len(data) < 8183:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        data.append((state >> 16) & 0xFF)
    return bytes(data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {"background.bmp": bitmap(), "script.txt": script(), "sov_patch.xp3": payload()}
    assert len(files["background.bmp"]) == 540056
    assert len(SCRIPT_LINES) == 18
    assert len(files["sov_patch.xp3"]) == 8183
    for name, data in files.items():
        path = os.path.join(out, name)
        try:
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            pass
        with open(path, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
