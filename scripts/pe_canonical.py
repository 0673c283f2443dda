#!/usr/bin/python3
"""Brings Windows programs into the form that `osslsigncode remove-signature` gives back, so that a signed
release can be compared with a rebuild: the file padded with zeros to a multiple of 8 bytes (signing
pads it so before it appends the signature) and the PE header's checksum computed over it.

Usage: pe_canonical.py FILE...   (changes each file in place)
"""
import struct
import sys


def checksum(data, field):
    """The PE image checksum: 16-bit words summed with end-around carry, the checksum field left out, plus
    the length. The carries can be folded in at the end: the sum is the same."""
    padded = data + b"\0" * (len(data) % 2)
    words = struct.unpack(f"<{len(padded) // 2}H", padded)
    total = sum(words) - words[field // 2] - words[field // 2 + 1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def canonical(path):
    with open(path, "rb") as program:
        data = bytearray(program.read())
    header = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[header : header + 4] != b"PE\0\0":
        sys.exit(f"pe_canonical.py: {path} is no PE file")
    data += b"\0" * (-len(data) % 8)
    field = header + 4 + 20 + 64  # signature, file header, then the checksum at 64 in the optional header
    struct.pack_into("<I", data, field, checksum(bytes(data), field))
    with open(path, "wb") as program:
        program.write(data)


for name in sys.argv[1:]:
    canonical(name)
