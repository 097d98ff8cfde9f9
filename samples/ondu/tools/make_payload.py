#!/usr/bin/env python3
"""Writes the bulky, generated part of the sample product (plug-ins, skins, data), deterministically.

usage: make_payload.py OUT_FOLDER [--list]

The files stand in for the player's real libraries and skins: they are never loaded, they only
give the packages realistic sizes (about 3.5 MB in all) and a mix of compressible and
incompressible content. --list prints the relative names ('/'-separated) without writing.
"""
import hashlib
import os
import struct
import sys

# Relative name -> (size in bytes, share of incompressible bytes in percent)
PAYLOAD = {
    "libwebp.dll": (320 * 1024, 70),
    "Plugins/Decoders/FLAC.dll": (260 * 1024, 60),
    "Plugins/Decoders/Opus.dll": (240 * 1024, 60),
    "Plugins/Decoders/Vorbis.dll": (220 * 1024, 60),
    "Plugins/Output/WASAPI.dll": (120 * 1024, 50),
    "Plugins/DSP/Equalizer.dll": (96 * 1024, 50),
    "Plugins/Visuals/Spectrum.dll": (180 * 1024, 50),
    "Skins/Default.skn": (900 * 1024, 85),
    "Skins/Dark.skn": (760 * 1024, 85),
    "System/Data/Codecs.dat": (480 * 1024, 20),
}


def noise(seed, size):
    """Reproducible pseudo-random bytes: SHA-256 in counter mode."""
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(seed + struct.pack("<Q", counter)).digest()
        counter += 1
    return bytes(out[:size])


def content(name, size, random_share):
    """A small header naming the file, then blocks alternating between noise and text."""
    seed = name.encode("utf-8")
    head = b"ONDU sample payload\r\nfile: " + seed + b"\r\nsize: %d\r\n\r\n" % size
    text = (b"ONDU stand-in data block for " + seed + b"; this text compresses well. ") * 8
    out = bytearray(head)
    block = 4096
    n = 0
    while len(out) < size:
        if (n * 37) % 100 < random_share:
            out += noise(seed + b"#%d" % n, block)
        else:
            out += text[:block]
        n += 1
    return bytes(out[:size])


def main(argv):
    if len(argv) < 2 or argv[1].startswith("-"):
        sys.exit(__doc__)
    if "--list" in argv[2:]:
        for name in PAYLOAD:
            print(name)
        return
    root = argv[1]
    for name, (size, share) in PAYLOAD.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path) or root, exist_ok=True)
        data = content(name, size, share)
        # Rewrite only on change, so that the build stays up to date without work.
        if os.path.exists(path):
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        with open(path, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv)
