#!/usr/bin/env python3
"""Writes the golden block files of the block file tests, byte by byte from
the record layout, independently of the C++ writer:

two_keys.kba            one translation record of "hip", keys at 0 and 1000 ms
translation_rotation.kba  "hip" translation (3 keys) then "abdomen" rotation
                          vectors (2 keys)
"""
import struct
import sys


def name_hash(name):
    h = 5381
    for byte in name.encode():
        c = byte - 256 if byte >= 128 else byte
        h = (h * 33 + c) & 0xFFFFFFFF
    return h


def fixed(value):
    return int(value * 65536)


def record(name, rtype, keys):
    payload = b"".join(struct.pack("<iiii", t, *[fixed(v) for v in vec]) for t, vec in keys)
    return name_hash(name), rtype, len(keys), payload


def image(records):
    out = b""
    for i, (h, rtype, count, payload) in enumerate(records):
        last = i == len(records) - 1
        nxt = 0 if last else len(out) + 24 + len(payload)
        out += struct.pack("<IiiiIi", h, rtype, count, 0, h, nxt) + payload
    return out


def main(folder):
    two = [record("hip", 1, [(0, (0.0, 100.0, 0.0)), (1000, (10.0, 100.0, 5.0))])]
    both = [
        record("hip", 1, [(0, (0.0, 99.5, 0.0)), (500, (2.5, 99.75, 10.0)), (1000, (5.0, 100.0, 20.0))]),
        record("abdomen", 3, [(0, (0.0, 0.0, 0.0)), (1000, (45.0, 0.0, 0.0))]),
    ]
    for name, records in (("two_keys.kba", two), ("translation_rotation.kba", both)):
        with open(f"{folder}/{name}", "wb") as f:
            f.write(image(records))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
