#!/usr/bin/env python3
"""Writes objectfile_v1.dzo, the version 1 object file fixture.

The encoder below is written from the format description in
host/dzoutfileformat.h, independently of DzOutFile, so the fixture checks
that the reader and the description agree. Run it from this folder.
"""
import struct
import uuid
import zlib

PIECE = uuid.UUID("5A2B7C1D-0E3F-4A5B-9C6D-7E8F9A0B1C2D")


def guid_bytes(u):
    # data1, data2, data3 little-endian, then data4 as is
    return u.bytes_le


def tag(t, payload=b""):
    return bytes([t]) + payload


def v_int(v): return tag(1, struct.pack("<i", v))
def v_float(v): return tag(2, struct.pack("<f", v))
def v_double(v): return tag(3, struct.pack("<d", v))
def v_bool(v): return tag(4, bytes([1 if v else 0]))
def v_string(s):
    b = s.encode("utf-8")
    return tag(5, struct.pack("<I", len(b)) + b)
def v_vec(x, y, z): return tag(6, struct.pack("<fff", x, y, z))
def v_quat(x, y, z, w): return tag(7, struct.pack("<dddd", x, y, z, w))
def v_pointer(index, obj): return tag(8, struct.pack("<hi", index, obj))
def v_bytes(b): return tag(9, struct.pack("<I", len(b)) + b)


def section(sid, *values):
    payload = b"".join(values)
    return struct.pack("<hI", sid, len(payload)) + payload


def obj(index, *sections):
    return struct.pack("<II", index, len(sections)) + b"".join(sections)


objects = [
    obj(0,
        section(1, v_int(-7), v_float(1.5), v_double(2.25), v_bool(True)),
        section(2, v_string("fixture \u00fc")),
        section(3, v_vec(1, 2, 3), v_quat(0, 0, 0.6, 0.8), v_bytes(b"\x00\x01\xff")),
        section(4, v_int(1), v_pointer(0, 1)),
        section(5, v_pointer(7, -1))),
    obj(1,
        section(2, v_string("part")),
        section(5, v_pointer(7, 0))),
]
body = guid_bytes(PIECE) * len(objects) + b"".join(objects)
header = b"TRVOBJ\r\n" + struct.pack("<IIIIII", 1, 0, len(objects), len(body),
                                     zlib.crc32(body) & 0xFFFFFFFF, 0)
with open("objectfile_v1.dzo", "wb") as f:
    f.write(header + body)
