#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Change the machine type of a linked PE image in place.

lld-link marks a Thumb-2 image 0x01C4 (ARMNT), which EDK2's 32-bit Arm loader
refuses; it takes 0x01C2 (THUMB), as U-Boot does too. Nothing the linker
computed covers the field: the PE checksum is left 0 (an image with one is
refused here, it would go stale) and /Brepro's time stamp is only an
identifier.

Usage: set_pe_machine.py IMAGE FROM TO   (machine types in hexadecimal)
"""
import struct
import sys


def set_machine(data, old, new):
    if data[:2] != b"MZ" or len(data) < 0x40:
        raise ValueError("not a PE image (no MZ header)")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0" or len(data) < pe + 24 + 68:
        raise ValueError("not a PE image (no PE header)")
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    if machine != old:
        raise ValueError(f"machine type is 0x{machine:04X}, expected 0x{old:04X}")
    if struct.unpack_from("<I", data, pe + 24 + 64)[0] != 0:
        raise ValueError("the image has a PE checksum, which the change would make wrong")
    struct.pack_into("<H", data, pe + 4, new)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    path, old, new = sys.argv[1], int(sys.argv[2], 16), int(sys.argv[3], 16)
    with open(path, "rb") as f:
        data = bytearray(f.read())
    try:
        set_machine(data, old, new)
    except ValueError as error:
        sys.exit(f"set_pe_machine: {path}: {error}")
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
