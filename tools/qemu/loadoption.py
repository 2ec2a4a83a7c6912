# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Decode EFI_LOAD_OPTION records and device paths into readable text.

Written from the UEFI layouts alone, apart from the application, so that it
can check what the application wrote. Besides the standard fields it finds a
Boot Volume System Root Descriptor (BVSRD): a short-form device path followed
by a UINT16 file-system type code (bits 13-14), stored either as OptionalData
or counted in FilePathListLength as FilePathList[1].
"""
import struct
import uuid

FS_TYPES = {0x0000: "FAT", 0x2000: "KFS", 0x4000: "WFS", 0x6000: "QFS"}
END_TYPE, END_ENTIRE, END_INSTANCE = 0x7F, 0xFF, 0x01


def guid_text(raw):
    return str(uuid.UUID(bytes_le=bytes(raw))).upper()


def nodes(path):
    """Split device path bytes into (type, subtype, body) up to and including the
    first end-of-entire-path node. Raises ValueError on a malformed path."""
    out, at = [], 0
    while True:
        if at + 4 > len(path):
            raise ValueError("device path runs past its data")
        kind, sub, length = struct.unpack_from("<BBH", path, at)
        if length < 4 or at + length > len(path):
            raise ValueError(f"bad node length {length} at offset {at}")
        out.append((kind, sub, bytes(path[at + 4:at + length])))
        at += length
        if (kind, sub) == (END_TYPE, END_ENTIRE):
            return out, at


def _hd(b):
    part, start, size = struct.unpack_from("<IQQ", b, 0)
    sig, mbr_type, sig_type = b[20:36], b[36], b[37]
    if sig_type == 2:
        return f"HD({part},GPT,{guid_text(sig)},0x{start:X},0x{size:X})"
    if sig_type == 1:
        return f"HD({part},MBR,0x{struct.unpack_from('<I', sig)[0]:08X},0x{start:X},0x{size:X})"
    return f"HD({part},{mbr_type},{sig_type},0x{start:X},0x{size:X})"


def _acpi(b):
    hid, uid = struct.unpack_from("<II", b)
    names = {0x0A0341D0: "PciRoot", 0x0A0841D0: "PcieRoot"}
    if hid in names:
        return f"{names[hid]}(0x{uid:X})"
    return f"Acpi(PNP{hid >> 16:04X},0x{uid:X})"


def _vendor(name, b):
    return f"{name}({guid_text(b[:16])}{',' + b[16:].hex().upper() if len(b) > 16 else ''})"


NODE_TEXT = {
    (1, 1): lambda b: f"Pci(0x{b[1]:X},0x{b[0]:X})",
    (1, 4): lambda b: _vendor("VenHw", b),
    (2, 1): _acpi,
    (3, 10): lambda b: _vendor("VenMsg", b),
    (4, 1): _hd,
    (4, 3): lambda b: _vendor("VenMedia", b),
    (4, 4): lambda b: b.decode("utf-16-le").rstrip("\0"),
    (4, 6): lambda b: f"FvFile({guid_text(b)})",
    (4, 7): lambda b: f"Fv({guid_text(b)})",
    (4, 8): lambda b: "Offset(0x{:X},0x{:X})".format(*struct.unpack_from("<QQ", b, 4)),
}


def node_text(kind, sub, body):
    try:
        return NODE_TEXT[(kind, sub)](body)
    except (KeyError, struct.error, IndexError, UnicodeDecodeError):
        return f"Path({kind},{sub},{body.hex().upper()})"


def path_text(path_nodes):
    """Text of one path; instances are separated by ',' as firmware shows them."""
    text = ""
    for kind, sub, body in path_nodes:
        if kind == END_TYPE:
            text += "," if sub == END_INSTANCE else ""
        else:
            text += ("" if not text or text.endswith(",") else "/") + node_text(kind, sub, body)
    return text


def _bvsrd(data, tail_start, path0_size, list_length):
    """The BVSRD after FilePathList[0], or None when the tail is something else."""
    tail = data[tail_start:]
    if len(tail) <= 2:
        return None
    code = struct.unpack_from("<H", tail, len(tail) - 2)[0]
    try:
        path, size = nodes(tail[:-2])
    except ValueError:
        return None
    if size != len(tail) - 2 or code & ~0x6000:
        return None
    placements = {path0_size: "OptionalData", path0_size + size: "FilePathList[1]"}
    if list_length not in placements:
        return None
    return {"placement": placements[list_length], "path": path_text(path), "path_size": size,
            "fs_type_code": code, "fs_type": FS_TYPES[code]}


def decode_load_option(data):
    """Fields of an EFI_LOAD_OPTION; raises ValueError when the record is broken."""
    data = bytes(data)
    if len(data) < 8:
        raise ValueError("shorter than attributes, length and a description NUL")
    attributes, list_length = struct.unpack_from("<IH", data)
    end = next((i for i in range(6, len(data) - 1, 2) if data[i:i + 2] == b"\0\0"), None)
    if end is None:
        raise ValueError("description has no NUL")
    paths_start = end + 2
    if paths_start + list_length > len(data):
        raise ValueError("FilePathListLength runs past the data")
    file_paths, at = [], paths_start
    while at < paths_start + list_length:
        path, size = nodes(data[at:paths_start + list_length])
        file_paths.append(path_text(path))
        at += size
    path0_size = nodes(data[paths_start:])[1]
    return {"attributes": attributes, "file_path_list_length": list_length,
            "description": data[6:end].decode("utf-16-le"), "file_paths": file_paths,
            "optional_data": data[paths_start + list_length:],
            "bvsrd": _bvsrd(data, paths_start + path0_size, path0_size, list_length)}
