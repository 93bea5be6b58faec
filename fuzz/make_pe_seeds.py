#!/usr/bin/env python3
"""Writes small PE files with resource trees as seeds for pe_reader_fuzz: PE32 and PE32+, the
resource section last or followed by another, with an overlay and a signature.

Usage: make_pe_seeds.py DIR
"""
import os
import struct
import sys


def tree(rva):
    """A resource section at `rva`: type 10 -> name "AB" -> language 1041 -> "DATA"; type
    "BIN" -> id 1 -> language 0 -> "xyz"."""
    out = bytearray(0xC0)
    struct.pack_into("<HH", out, 12, 1, 1)                     # root: one name, one id
    struct.pack_into("<II", out, 16, 0x80000000 | 0xA0, 0x80000020)
    struct.pack_into("<II", out, 24, 10, 0x80000038)
    struct.pack_into("<HH", out, 0x20 + 12, 0, 1)              # type "BIN"
    struct.pack_into("<II", out, 0x30, 1, 0x80000050)
    struct.pack_into("<HH", out, 0x38 + 12, 1, 0)              # type 10
    struct.pack_into("<II", out, 0x48, 0x80000000 | 0xA8, 0x80000068)
    struct.pack_into("<HH", out, 0x50 + 12, 0, 1)
    struct.pack_into("<II", out, 0x60, 0, 0x80)
    struct.pack_into("<HH", out, 0x68 + 12, 0, 1)
    struct.pack_into("<II", out, 0x78, 1041, 0x90)
    struct.pack_into("<IIII", out, 0x80, rva + 0xB0, 3, 0, 0)
    struct.pack_into("<IIII", out, 0x90, rva + 0xB8, 4, 0, 0)
    struct.pack_into("<H6s", out, 0xA0, 3, "BIN".encode("utf-16-le"))
    struct.pack_into("<H4s", out, 0xA8, 2, "AB".encode("utf-16-le"))
    out[0xB0:0xB3] = b"xyz"
    out[0xB8:0xBC] = b"DATA"
    return bytes(out)


def pe(pe32plus, rsrc_last, overlay=b"", cert=b""):
    fa, sa, headers = 0x200, 0x1000, 0x400
    names = [b".text", b".rsrc"] + ([] if rsrc_last else [b".reloc"])
    datas = [b"\xcc" * 0x40, tree(0x2000)] + ([] if rsrc_last else [b"\x11" * 0x10])
    opt_size = 240 if pe32plus else 224
    h = bytearray(headers)
    h[0:2] = b"MZ"
    struct.pack_into("<I", h, 0x3C, 0x80)
    h[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", h, 0x84, 0x8664 if pe32plus else 0x14C, len(names), 0, 0, 0, opt_size, 0x22)
    opt = 0x98
    struct.pack_into("<H", h, opt, 0x20B if pe32plus else 0x10B)
    struct.pack_into("<II", h, opt + 32, sa, fa)
    struct.pack_into("<I", h, opt + 56, 0x1000 * (len(names) + 1))
    struct.pack_into("<I", h, opt + 60, headers)
    struct.pack_into("<I", h, opt + (108 if pe32plus else 92), 16)
    dirs = opt + (112 if pe32plus else 96)
    struct.pack_into("<II", h, dirs + 16, 0x2000, len(datas[1]))
    body = bytearray()
    for i, (name, data) in enumerate(zip(names, datas)):
        raw = (len(data) + fa - 1) // fa * fa
        struct.pack_into("<8sIIII12xI", h, opt + opt_size + 40 * i, name, len(data), 0x1000 * (i + 1), raw,
                         headers + len(body), 0x40000040)
        body += data + b"\0" * (raw - len(data))
    out = bytes(h) + bytes(body) + overlay
    if cert:
        out = bytearray(out)
        struct.pack_into("<II", out, dirs + 32, len(out), len(cert))
        out = bytes(out) + cert
    return out


folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
seeds = {
    "pe32plus-reloc-last": pe(True, False),
    "pe32plus-rsrc-last": pe(True, True),
    "pe32-reloc-last": pe(False, False, overlay=b"OVERLAY!"),
    "pe32-signed": pe(False, True, overlay=b"pad", cert=b"\x08\x00\x00\x00\x00\x02\x02\x00"),
}
for name, data in seeds.items():
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
