# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The bytes a boot entry on the demo disk must have, built from the disk's GPT
geometry (mkdisk.geometry) by plain UEFI layout rules, without the
application's own record code, so that a test compares two independent results.
"""
import struct
import uuid

LOAD_OPTION_ACTIVE = 0x00000001
END_OF_PATH = bytes([0x7F, 0xFF, 0x04, 0x00])
FS_TYPE = {"FAT": 0x0000, "KFS": 0x2000, "WFS": 0x4000, "QFS": 0x6000}


def partition(geometry, number):
    return next(p for p in geometry["partitions"] if p["number"] == number)


def hd_node(part):
    """MEDIA_HARDDRIVE_DP of one partition: on GPT (MBRType 2) the partition's
    GUID (signature type 2), on MBR (MBRType 1) the disk's 32-bit signature
    (type 1) in a zero-filled signature field."""
    if part.get("table") == "mbr":
        signature, kinds = struct.pack("<I", part["signature"]).ljust(16, b"\0"), bytes([1, 1])
    else:
        signature, kinds = uuid.UUID(part["guid"]).bytes_le, bytes([2, 2])
    return struct.pack("<BBHIQQ", 4, 1, 42, part["number"], part["start"], part["size"]) + signature + kinds


def file_node(path):
    name = (path + "\0").encode("utf-16-le")
    return struct.pack("<BBH", 4, 4, 4 + len(name)) + name


def short_path(part, path):
    """Short-form device path: from the partition's HD() node through the end node."""
    return hd_node(part) + file_node(path) + END_OF_PATH


def load_option(description, file_paths, optional_data=b"", attributes=LOAD_OPTION_ACTIVE):
    """EFI_LOAD_OPTION: packed, little-endian, no padding anywhere."""
    paths = b"".join(file_paths)
    return (struct.pack("<IH", attributes, len(paths)) + (description + "\0").encode("utf-16-le")
            + paths + optional_data)


def bvsrd_option(description, loader_path, boot_path, fs_type, as_file_path):
    """A record with a BVSRD: the Boot Volume's short path, then its FS type code.
    Stored as FilePathList[1] the path counts in FilePathListLength; as
    OptionalData it does not. The bytes are the same either way."""
    code = struct.pack("<H", FS_TYPE[fs_type])
    if as_file_path:
        return load_option(description, [loader_path, boot_path], code)
    return load_option(description, [loader_path], boot_path + code)


def hd_text(part):
    """The HD() node as the firmware's device path text shows it (EDK2's letter case)."""
    if part.get("table") == "mbr":
        return f"HD({part['number']},MBR,0x{part['signature']:08X},0x{part['start']:X},0x{part['size']:X})"
    return f"HD({part['number']},GPT,{part['guid'].upper()},0x{part['start']:X},0x{part['size']:X})"
