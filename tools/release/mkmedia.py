#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Build the boot media of a release: the USB stick / SD card image and the
CD image (ISO 9660 with an El Torito no-emulation EFI boot image).

Both carry the same files, \\EFI\\BOOT\\BOOT<ARCH>.EFI per architecture, the
names under which firmware starts removable media with nothing typed.

The stick's one FAT partition is a GPT basic-data partition, not an EFI
System Partition: U-Boot keeps its variables in \\ubootefi.var on the first
ESP it finds, and a stick marked as one would take the machine's boot entries
away with it when it is pulled. Firmware starts a basic-data partition's
removable-media file all the same.

Reproducible: fixed GUIDs and volume serials, and every time stamp taken
from SOURCE_DATE_EPOCH, which the caller sets.

Usage: SOURCE_DATE_EPOCH=SECONDS mkmedia.py stick|iso OUTPUT ESP-PATH=FILE...
"""
import math
import os
import shutil
import sys
import tempfile

# The disk builder lives with the QEMU tools, which make the demo disk with it.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "qemu"))
import mkdisk  # noqa: E402

SECTOR = 512
KIB = 1024
MIB = 1024 * KIB
STICK_SIZE = 4 * MIB      # at least; more when shim and MokManager come along
STICK_DISK_GUID = "15462f52-28b5-4f9c-8a34-81a72f288f40"
STICK_PART_GUID = "b2a54d4d-077e-4d68-8049-2cf23b4f6312"
BASIC_DATA = "0700"       # sgdisk's code for EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
FIRST_LBA = 2048
GPT_BACKUP_SECTORS = 33   # the backup table and header at the end of the disk
LABEL = "ADDBOOTENTR"     # a FAT label has at most 11 characters
VOLUME_ID = "ADDB0075"    # FAT volume serial, hexadecimal
ISO_VOLUME = "ADDBOOTENTRY"
EFI_BOOT_IMAGE = "efiboot.img"

TOOLS = ("sgdisk", "mkfs.fat", "mmd", "mcopy", "xorriso")


def _source_date_epoch():
    """mkfs.fat, mtools and xorriso take their dates from SOURCE_DATE_EPOCH."""
    if "SOURCE_DATE_EPOCH" not in os.environ:
        raise RuntimeError("SOURCE_DATE_EPOCH is not set: the media would not be reproducible")
    return int(os.environ["SOURCE_DATE_EPOCH"])


def fill_fat(volume, files):
    """The files onto a FAT volume made just now, in a fixed order: the
    order decides the bytes of the directories."""
    mkdisk.fill_volume(volume, dict(sorted(files.items())))


def _format(image, offset_sectors, size_bytes):
    mkdisk.run_tool("mkfs.fat", "--invariant", "-n", LABEL, "-i", VOLUME_ID, "-h",
                    str(offset_sectors), f"--offset={offset_sectors}", image, str(size_bytes // KIB))


def stick(image, files):
    """A GPT disk image of STICK_SIZE, or whole MiB enough for the files and
    a quarter more, with one basic-data FAT partition holding files."""
    _source_date_epoch()
    payload = sum(os.path.getsize(src) for src in files.values())
    size = max(STICK_SIZE, math.ceil((payload * 5 // 4 + MIB) / MIB) * MIB)
    last = size // SECTOR - GPT_BACKUP_SECTORS - 1
    with open(image, "wb") as f:
        f.truncate(size)
    mkdisk.run_tool("sgdisk", "-U", STICK_DISK_GUID, f"-n1:{FIRST_LBA}:{last}", f"-t1:{BASIC_DATA}",
                    f"-u1:{STICK_PART_GUID}", "-c1:addbootentry", image)
    _format(image, FIRST_LBA, (last + 1 - FIRST_LBA) * SECTOR)
    fill_fat(f"{image}@@{FIRST_LBA * SECTOR}", files)


def fat_image(image, files):
    """A bare FAT file system (no partition table) with room for files: the
    El Torito boot image. Sized from what it holds, in steps of 64 KiB."""
    payload = sum(os.path.getsize(src) for src in files.values())
    size = max(1440 * KIB, math.ceil((2 * payload + 256 * KIB) / (64 * KIB)) * 64 * KIB)
    with open(image, "wb") as f:
        f.truncate(size)
    _format(image, 0, size)
    fill_fat(image, files)


def iso(image, files):
    """An ISO 9660 image whose El Torito catalogue has one no-emulation EFI
    entry: a FAT image with the files. xorriso takes its dates and volume
    UUID from SOURCE_DATE_EPOCH, and the files' dates from the files."""
    epoch = _source_date_epoch()
    with tempfile.TemporaryDirectory() as root:
        fat_image(os.path.join(root, EFI_BOOT_IMAGE), files)
        for path in (os.path.join(root, EFI_BOOT_IMAGE), root):
            os.utime(path, (epoch, epoch))
        mkdisk.run_tool("xorriso", "-as", "mkisofs", "-quiet", "-o", image, "-V", ISO_VOLUME, "-r",
                        "-e", EFI_BOOT_IMAGE, "-no-emul-boot", root)


def main():
    if len(sys.argv) < 4 or sys.argv[1] not in ("stick", "iso"):
        sys.exit(__doc__.strip().splitlines()[-1])
    missing = [tool for tool in TOOLS if not shutil.which(tool)]
    if missing:
        sys.exit(f"mkmedia: {', '.join(missing)} not found (tools/setup.sh installs them)")
    files = dict(arg.split("=", 1) for arg in sys.argv[3:])
    {"stick": stick, "iso": iso}[sys.argv[1]](sys.argv[2], files)


if __name__ == "__main__":
    main()
