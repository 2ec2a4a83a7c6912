#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Print the firmware variables of a store and decode its boot entries.

STORE may be:
  - EDK2's variable flash (the AAVMF_VARS.fd copy that QEMU writes back);
  - U-Boot's ubootefi.var, or a disk image (GPT or MBR) whose ESP holds that file;
  - a Linux efivarfs file (Boot0003-8be4df61-...) or a folder of them.

Usage: varstore.py STORE [NAME...]     (e.g. varstore.py build/qemu/AAVMF_VARS.fd BootOrder)
"""
import argparse
import os
import re
import struct
import sys
import uuid
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mkdisk  # noqa: E402
from loadoption import decode_load_option  # noqa: E402,F401  (part of this module's API)

GLOBAL = "8be4df61-93ca-11d2-aa0d-00e098032b8c"
EDK2_AUTH_STORE = "aaf32c78-947b-439a-a180-2e144ec37792"
ESP_TYPES = ("c12a7328-f81f-11d2-ba4b-00a0c93ec93b", "0xef")  # GPT, MBR
UBOOT_MAGIC = b"UbEfiVa\x01"
LOAD_OPTION_NAME = re.compile(r"^(Boot|Driver|SysPrep|PlatformRecovery)[0-9A-F]{4}$")
EFIVARFS_NAME = re.compile(r"^(.+)-([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})$")


def key(name, guid):
    """Global variables go by their name, all others by name-GUID as in efivarfs."""
    return name if guid == GLOBAL else f"{name}-{guid}"


def _guid(raw):
    return str(uuid.UUID(bytes_le=bytes(raw)))


def _edk2(d):
    store = d[struct.unpack_from("<H", d, 48)[0]:]
    size = struct.unpack_from("<I", store, 16)[0]
    # Authenticated records carry a 60-byte header (NameSize at offset 36),
    # plain ones 32 bytes (NameSize at offset 8).
    header, sizes_at = (60, 36) if _guid(store[:16]) == EDK2_AUTH_STORE else (32, 8)
    found, at = {}, 28
    while at + header <= size and struct.unpack_from("<H", store, at)[0] == 0x55AA:
        state, attrs = store[at + 2], struct.unpack_from("<I", store, at + 4)[0]
        name_size, data_size = struct.unpack_from("<II", store, at + sizes_at)
        guid = _guid(store[at + sizes_at + 8:at + sizes_at + 24])
        name = store[at + header:at + header + name_size].decode("utf-16-le").rstrip("\0")
        data = store[at + header + name_size:at + header + name_size + data_size]
        # 0x3F: added. 0x3E: being replaced; valid only until the new copy is added.
        if state == 0x3F or (state == 0x3E and key(name, guid) not in found):
            found[key(name, guid)] = (guid, attrs, data)
        at = (at + header + name_size + data_size + 3) & ~3
    return found


def _uboot(d):
    length, crc = struct.unpack_from("<II", d, 16)
    if zlib.crc32(d[24:length]) != crc:
        raise ValueError("ubootefi.var: CRC32 of the entries does not match")
    found, at = {}, 24
    while at + 32 <= length:
        data_size, attrs = struct.unpack_from("<II", d, at)
        guid = _guid(d[at + 16:at + 32])
        end = next(i for i in range(at + 32, length, 2) if d[i:i + 2] == b"\0\0")
        found[key(d[at + 32:end].decode("utf-16-le"), guid)] = (guid, attrs, d[end + 2:end + 2 + data_size])
        at = (end + 2 + data_size + 7) & ~7
    return found


def _efivarfs(path):
    m = EFIVARFS_NAME.match(os.path.basename(path))
    with open(path, "rb") as f:
        d = f.read()
    return {key(m.group(1), m.group(2)): (m.group(2), struct.unpack_from("<I", d)[0], d[4:])}


def _uboot_disk(image):
    """U-Boot's store on a disk's ESP. U-Boot writes the file only once it sets a
    non-volatile variable, so a missing file is an empty store."""
    esp = next((p for p in mkdisk.geometry(image)["partitions"] if p["type"] in ESP_TYPES), None)
    if esp is None:  # U-Boot keeps no variables on a disk without an ESP
        return {}
    d = mkdisk.get_file(image, esp["number"], "ubootefi.var")
    return {} if d is None else _uboot(d)


def read_store(path):
    """{name: (vendor GUID, attributes, data)} of the live variables in path."""
    if os.path.isdir(path):
        found = {}
        for entry in sorted(os.listdir(path)):
            if EFIVARFS_NAME.match(entry):
                found.update(_efivarfs(os.path.join(path, entry)))
        return found
    if EFIVARFS_NAME.match(os.path.basename(path)):
        return _efivarfs(path)
    with open(path, "rb") as f:
        head = f.read(1024)
    if head[512:520] == b"EFI PART":
        return _uboot_disk(path)
    with open(path, "rb") as f:
        d = f.read(64)
        if d[40:44] == b"_FVH":
            # Only the firmware volume: the variables' part of the flash
            # (AAVMF's is 64 MiB, of which the volume is less than 1 MiB).
            return _edk2(d + f.read(struct.unpack_from("<Q", d, 32)[0] - len(d)))
        d += f.read()
    if d[8:16] == UBOOT_MAGIC:
        return _uboot(d)
    if d[510:512] == b"\x55\xaa":  # an MBR disk
        return _uboot_disk(path)
    raise ValueError(f"{path}: not a variable store that this tool knows")


def describe(name, guid, attrs, data):
    """Lines that show one variable, with its load option or boot order decoded."""
    lines = [f"{name}  {{{guid}}}  attributes 0x{attrs:X}  size 0x{len(data):X}"]
    lines += ["  " + data[i:i + 32].hex(" ").upper() for i in range(0, len(data), 32)]
    if guid != GLOBAL:
        return lines
    if name in ("BootOrder", "BootNext", "DriverOrder") and len(data) % 2 == 0:
        lines.append("  = " + " ".join(f"{n:04X}" for n in struct.unpack(f"<{len(data) // 2}H", data)))
    elif LOAD_OPTION_NAME.match(name):
        try:
            lo = decode_load_option(data)
        except ValueError as e:
            return lines + [f"  not a valid load option: {e}"]
        lines.append(f"  attributes 0x{lo['attributes']:X}, FilePathListLength 0x{lo['file_path_list_length']:X}, "
                     f"description \"{lo['description']}\"")
        lines += [f"  FilePathList[{i}] {p}" for i, p in enumerate(lo["file_paths"])]
        if lo["optional_data"]:
            lines.append(f"  OptionalData {lo['optional_data'].hex(' ').upper()}")
        if lo["bvsrd"]:
            b = lo["bvsrd"]
            lines.append(f"  BVSRD as {b['placement']}: {b['path']}, FS type 0x{b['fs_type_code']:04X} ({b['fs_type']})")
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("store")
    ap.add_argument("names", nargs="*", help="only these variables")
    args = ap.parse_args()
    try:
        store = read_store(args.store)
    except (OSError, ValueError, struct.error) as e:
        sys.exit(f"varstore: {e}")
    for k, (guid, attrs, data) in store.items():
        name = k if guid == GLOBAL else k[:-37]
        if not args.names or name in args.names:
            print("\n".join(describe(name, guid, attrs, data)))


if __name__ == "__main__":
    main()
