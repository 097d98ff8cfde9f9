#!/usr/bin/env python3
"""ipk5_write.py: writes an IPK5 package with nothing but the Python standard library.

A second, independent writer of the package format (see docs/ipk5-format.md), used to
check that the installer's reader accepts packages it did not write itself.

    ipk5_write.py --key KEY [--level N] PACKAGE --add NAME PATH [--add NAME PATH ...]

KEY is the signed 32-bit package key (decimal or 0x hex). Python's raw LZMA1 encoder
always ends its data with an end marker; the reader accepts one right after the data.
"""
import argparse
import lzma
import struct
import sys


def crc32_msb(data):
    """CRC-32, polynomial 0x04C11DB7 taken MSB first, initial value 0, no final XOR."""
    table = []
    for b in range(256):
        c = b << 24
        for _ in range(8):
            c = ((c << 1) ^ 0x04C11DB7) if c & 0x80000000 else (c << 1)
        table.append(c & 0xFFFFFFFF)
    crc = 0
    for byte in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ table[(crc >> 24) ^ byte]
    return crc


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 0xFF
        s[i], s[j] = s[j], s[i]
    out = bytearray(data)
    i = j = 0
    for n in range(len(out)):
        i = (i + 1) & 0xFF
        j = (j + s[i]) & 0xFF
        s[i], s[j] = s[j], s[i]
        out[n] ^= s[(s[i] + s[j]) & 0xFF]
    return bytes(out)


def level_filter(level):
    if not 0 <= level <= 9:
        raise ValueError("level must be 0-9")
    dict_size = (1 << (2 * level + 14)) if level <= 5 else (32 << 20) if level == 6 else (64 << 20)
    fast = level < 5
    nice = 32 if level < 7 else 64
    depth = 16 + nice // 2
    if fast:
        depth //= 2
    return {
        "id": lzma.FILTER_LZMA1, "dict_size": dict_size, "lc": 3, "lp": 0, "pb": 2,
        "mode": lzma.MODE_FAST if fast else lzma.MODE_NORMAL,
        "mf": lzma.MF_HC4 if fast else lzma.MF_BT4, "nice_len": nice, "depth": depth,
    }


def length_prefixed(name):
    units = name.encode("utf-16-le")
    if len(units) // 2 > 0xFFFF:
        raise ValueError("name too long: " + name)
    return struct.pack("<H", len(units) // 2) + units


def build(files, key, level):
    bodies = bytearray()
    table = bytearray(struct.pack("<i", len(files)))
    for name, content in files:
        table += length_prefixed(name) + struct.pack("<qq", len(bodies), len(content))
        bodies += content
    plain = bytes(bodies) + bytes(table) + struct.pack("<I", len(table))
    if len(plain) >= 1 << 32:
        raise ValueError("plain stream must be smaller than 4 GiB")
    flt = level_filter(level)
    props = bytes([(flt["pb"] * 5 + flt["lp"]) * 9 + flt["lc"]]) + struct.pack("<I", flt["dict_size"])
    packed = lzma.compress(plain, format=lzma.FORMAT_RAW, filters=[flt])
    header = b"IPK5" + struct.pack("<II", crc32_msb(plain), len(plain))
    return header + rc4(struct.pack("<i", key), props + packed)


def main(argv):
    ap = argparse.ArgumentParser(description="Write an IPK5 package.")
    ap.add_argument("package")
    ap.add_argument("--key", required=True, type=lambda s: int(s, 0))
    ap.add_argument("--level", type=int, default=4)
    ap.add_argument("--add", nargs=2, action="append", default=[], metavar=("NAME", "PATH"))
    args = ap.parse_args(argv)
    if not -(1 << 31) <= args.key < (1 << 31):
        ap.error("key must be a signed 32-bit integer")
    files = []
    for name, path in args.add:
        with open(path, "rb") as f:
            files.append((name, f.read()))
    data = build(files, args.key, args.level)
    with open(args.package, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
