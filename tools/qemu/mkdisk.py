#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Build the demo disk image, without root and without loop devices.

The disk is GPT, or with --table an MBR disk with the same partitions, its
first one of type 0xEF (an EFI System Partition) or 0x0C (FAT, the usual
Raspberry Pi layout, where U-Boot has nowhere to keep its variables).
sgdisk partitions a GPT image file, an MBR is written here; mkfs.fat formats
each FAT volume in place (--offset) and mtools fills it through
"image@@offset". The disk and partition
GUIDs are fixed, so a rebuilt image still matches the HD() nodes of boot
entries written against an earlier one.

Usage: mkdisk.py IMAGE [--arch ARCH] [--efi-dir DIR] [--table gpt|mbr|mbr-fat]   (prints the geometry as JSON)
"""
import argparse
import json
import os
import struct
import subprocess
import sys
import tempfile
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from architectures import ARCHITECTURES  # noqa: E402

SECTOR = 512
DISK_SECTORS = 64 * 1024 * 1024 // SECTOR  # a power of 2, as an SD card must be
DISK_GUID = "5ec0b007-d15c-4e1e-9a77-1d0d15c0ffee"
MBR_SIGNATURE = 0x5EC0B007

# number, GPT type code, unique GUID, first LBA, size in LBAs, name, FAT label
PARTITIONS = [
    (1, "ef00", "c0de0001-e5b0-4a1e-8d1a-0123456789ab", 2048, 65536, "ESP", "DEMO-ESP"),
    (2, "0700", "c0de0002-da7a-4b0e-9e2f-0123456789ac", 67584, 32768, "Ixo data", "DEMO-DATA"),
    (3, "8300", "c0de0003-5a7e-4c3d-af10-0123456789ad", 100352, 16384, "raw", None),
]
ESP, DATA = 1, 2
# MBR partition types by partition number, for each MBR layout.
MBR_TYPES = {"mbr": {1: 0xEF, 2: 0x0C, 3: 0x83}, "mbr-fat": {1: 0x0C, 2: 0x0C, 3: 0x83}}
TABLES = ("gpt",) + tuple(MBR_TYPES)

# Where our EFI programs live on the ESP, by the name the build gives them;
# the application is the removable-media program of its architecture.
TEST_PROGRAMS = {
    "EFI/test/loader.efi": "testloader.efi",
    "EFI/test/setvars.efi": "setvars.efi",
}


def app_name(arch):
    return f"addbootentry{arch}.efi"


def removable_boot(arch):
    """The file a firmware of this architecture starts from a disk without boot entries."""
    return f"EFI/BOOT/BOOT{arch.upper()}.EFI"


def esp_program_names(arch):
    """{path on the ESP: file name in the architecture's build folder}."""
    return {removable_boot(arch): app_name(arch), **TEST_PROGRAMS}


DATA_FILES = {"Ixo/readme.txt": b"Ixo: a system root on the second FAT volume.\r\n"}


def _mtools_env():
    """The environment as it is now (a release build sets SOURCE_DATE_EPOCH,
    which mtools dates files by, after this module is loaded); the FAT volumes
    sit at partition offsets that mtools would call odd geometry."""
    return dict(os.environ, MTOOLS_SKIP_CHECK="1")


def run_tool(*cmd):
    """Run one of the disk tools (sgdisk, mkfs.fat, mtools, xorriso); its
    output, or RuntimeError with the command and what it said. The release's
    media are made with it too (mkmedia.py)."""
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=_mtools_env())
    if r.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)}: {r.stderr.decode(errors='replace').strip()}")
    return r.stdout


def _volume(image, number):
    """mtools' name for the FAT volume of partition `number` of any GPT image."""
    start = next(p["start"] for p in geometry(image)["partitions"] if p["number"] == number)
    return f"{image}@@{start * SECTOR}"


def put_files(image, number, files):
    """Copy {path on volume: bytes or host file name} onto a FAT partition."""
    fill_volume(_volume(image, number), files)


def fill_volume(vol, files):
    """Copy {path on volume: bytes or host file name}, in the order given, onto
    the FAT volume that mtools names `vol` ("image" or "image@@offset")."""
    with tempfile.TemporaryDirectory() as tmp:
        for dest, src in files.items():
            parts = dest.split("/")
            for depth in range(1, len(parts)):  # "-D s": a folder already there is fine
                subprocess.run(["mmd", "-D", "s", "-i", vol, "::/" + "/".join(parts[:depth])],
                               env=_mtools_env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if isinstance(src, bytes):
                path = os.path.join(tmp, parts[-1])
                with open(path, "wb") as f:
                    f.write(src)
                src = path
            run_tool("mcopy", "-o", "-i", vol, src, "::/" + dest)


def remove_file(image, number, path):
    """Delete a file from a FAT partition."""
    run_tool("mdel", "-i", _volume(image, number), "::/" + path)


def get_file(image, number, path):
    """Bytes of a file on a FAT partition, or None when it is not there."""
    r = subprocess.run(["mcopy", "-i", _volume(image, number), "::/" + path, "-"],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=_mtools_env())
    return r.stdout if r.returncode == 0 else None


def esp_programs(efi_dir, arch):
    """The ESP's program files that exist in efi_dir (missing ones are left out)."""
    files = {dest: os.path.join(efi_dir, name) for dest, name in esp_program_names(arch).items()}
    return {dest: src for dest, src in files.items() if os.path.exists(src)}


def _write_mbr(image, types):
    """Signature, one entry per partition (CHS fields unused, as LBA-era tools
    write them: 0xFFFFFE), boot signature."""
    entries = b"".join(struct.pack("<B3sB3sII", 0, b"\xfe\xff\xff", types[number], b"\xfe\xff\xff",
                                   start, size)
                       for number, _, _, start, size, _, _ in PARTITIONS)
    with open(image, "r+b") as f:
        f.seek(440)
        f.write(struct.pack("<IH", MBR_SIGNATURE, 0) + entries.ljust(64, b"\0") + b"\x55\xaa")


def build(image, efi_dir, arch, table="gpt"):
    with open(image, "wb") as f:
        f.truncate(DISK_SECTORS * SECTOR)
    if table == "gpt":
        cmd = ["sgdisk", "-U", DISK_GUID]
        for number, code, guid, start, size, name, _ in PARTITIONS:
            cmd += [f"-n{number}:{start}:{start + size - 1}", f"-t{number}:{code}",
                    f"-u{number}:{guid}", f"-c{number}:{name}"]
        run_tool(*cmd, image)
    else:
        _write_mbr(image, MBR_TYPES[table])
    for number, _, guid, start, size, _, label in PARTITIONS:
        if label:
            run_tool("mkfs.fat", "-F", "16", "-n", label, "-i", guid[:8], "-h", str(start),
                 f"--offset={start}", image, str(size * SECTOR // 1024))
    put_files(image, ESP, esp_programs(efi_dir, arch))
    put_files(image, DATA, DATA_FILES)


def _mbr_geometry(mbr):
    signature = struct.unpack_from("<I", mbr, 440)[0]
    parts = []
    for i in range(4):
        _, _, kind, _, first, size = struct.unpack_from("<B3sB3sII", mbr, 446 + 16 * i)
        if kind:
            parts.append({"number": i + 1, "start": first, "size": size, "table": "mbr",
                          "signature": signature, "type": f"{kind:#04x}"})
    return {"table": "mbr", "signature": signature, "sector_size": SECTOR, "partitions": parts}


def geometry(image):
    """Read the partition table back from the image: what HD() nodes of this
    disk must hold. GPT partitions have a "guid", MBR ones the disk's "signature"."""
    with open(image, "rb") as f:
        mbr = f.read(SECTOR)
        hdr = f.read(92)
        if hdr[:8] != b"EFI PART":
            if mbr[510:] == b"\x55\xaa" and mbr[450] not in (0, 0xEE):
                return _mbr_geometry(mbr)
            raise ValueError(f"{image}: no partition table")
        entries_lba, count, entry_size = struct.unpack_from("<QII", hdr, 72)
        f.seek(entries_lba * SECTOR)
        table = f.read(count * entry_size)
    parts = []
    for i in range(count):
        e = table[i * entry_size:(i + 1) * entry_size]
        if e[:16] == bytes(16):
            continue
        first, last = struct.unpack_from("<QQ", e, 32)
        parts.append({"number": i + 1, "start": first, "size": last - first + 1, "table": "gpt",
                      "guid": str(uuid.UUID(bytes_le=e[16:32])),
                      "type": str(uuid.UUID(bytes_le=e[:16])),
                      "name": e[56:128].decode("utf-16-le").rstrip("\0")})
    return {"table": "gpt", "disk_guid": str(uuid.UUID(bytes_le=hdr[56:72])), "sector_size": SECTOR,
            "partitions": parts}


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("image")
    ap.add_argument("--arch", choices=ARCHITECTURES, default="aa64", help="the default: aa64")
    ap.add_argument("--efi-dir", help="default: build/efi/ARCH")
    ap.add_argument("--table", choices=TABLES, default="gpt")
    args = ap.parse_args()
    efi_dir = args.efi_dir or os.path.join(os.path.dirname(__file__), "..", "..", "build", "efi", args.arch)
    build(args.image, efi_dir, args.arch, args.table)
    json.dump(geometry(args.image), sys.stdout, indent=2)
    print()


if __name__ == "__main__":
    main()
