#!/usr/bin/env python3
"""Makes the application icon: one 32 x 32 image with 16 colours (4 bits per pixel)."""
import struct
import sys

SIZE = 32
# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLUE, DARK_BLUE, WHITE, CYAN = 12, 4, 15, 14


def colour_at(x, y):
    """Palette index at (x, y), y from the top, or None for transparent."""
    # A rounded square ...
    if x < 2 or x > 29 or y < 2 or y > 29:
        return None
    corner = min(x - 2, 29 - x), min(y - 2, 29 - y)
    if corner[0] + corner[1] < 3 and corner[0] < 3 and corner[1] < 3:
        return None
    border = x in (2, 29) or y in (2, 29)
    if border:
        return DARK_BLUE
    # ... with a white downward arrow into a tray: "apply the patch".
    if 13 <= x <= 18 and 6 <= y <= 15:
        return WHITE
    if 9 <= x <= 22 and 16 <= y <= 22 and abs(x - 15.5) <= 22 - y + 0.5:
        return WHITE
    if 7 <= x <= 24 and y == 25:
        return CYAN
    if y == 26 and x in (7, 24):
        return CYAN
    return BLUE


def icon():
    xor = bytearray()
    and_mask = bytearray()
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = bytearray()
        mask_bits = 0
        mask_row = bytearray()
        for x in range(SIZE):
            c = colour_at(x, y)
            index = 0 if c is None else c
            if x % 2 == 0:
                row.append(index << 4)
            else:
                row[-1] |= index
            mask_bits = (mask_bits << 1) | (1 if c is None else 0)
            if x % 8 == 7:
                mask_row.append(mask_bits)
                mask_bits = 0
        xor += row
        and_mask += mask_row
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(and_mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(and_mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + image


if __name__ == "__main__":
    data = icon()
    with open(sys.argv[1], "wb") as f:
        f.write(data)
