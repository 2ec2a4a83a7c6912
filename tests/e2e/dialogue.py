# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The application's side of the console conversation as the tests meet it:
its texts and colours, and the roads that lead a run through the dialogue.
When the dialogue gains a step, the roads here gain it too, and every
scenario keeps reaching the point it tests."""
import re
from typing import NamedTuple

import expected
from expected import FS_TYPE
from harness import BOOT_TIMEOUT, joined, plain

ATTR_BANNER = 0x30      # black on cyan
ATTR_NORMAL = 0x03      # cyan on black
ATTR_HIGHLIGHT = 0x0B   # light cyan
ATTR_ERROR = 0x0C       # light red
NOT_READY = "8000000000000006"

BANNER = "Let's create our Load Option!"
VOLUME_COUNT = " handles (hex), supporting SFSP."
HOME_PROMPT = "Enter the index for Home Volume (Loader home): "
WRONG_INDEX = 'Wrong index, type "y" for trying again: '
NO_HOME_VOLUME = "E: user fail to pick the Home Volume, S: "
BVSRD_QUESTION = "Do you want to create Boot Volume System Root Descriptor (BVSRD)?"
PLACEMENT_QUESTION = "Should BVSRD be stored as FilePathList[1] or Optional Data (default)?"
FAT_QUESTION = "Is Boot Volume (OS home) going to be FAT formatted?"
FAT_BOOT_PROMPT = "Enter the index as you see it highlighted for Boot Volume: "
PARTITION_PROMPT = "Type the exact index as you see it highlighted for Boot Volume: "
FS_TYPE_PROMPT = "1 - KFS, 2 - WFS, 3 - QFS: "
ROOT_PROMPT = 'Now, type System Root Path (default is "Ixo"):'
DESCRIPTION_PROMPT = "Now, type Description:"
LOADER_PROMPT = "Now, type Loader File Path:"
FOUND = "Success!"
ANNOUNCE = 'Trying to set "'
ESP_WARNING = "Warning: no listed volume is an EFI System Partition"
DUPLICATE_END = " already has the same paths and data."
CONFIRM_QUESTION = "Are you sure you want to write the created Load Option"
# The question's last line; the pty turns each line feed into CR LF.
QUESTION_END = rb'Type "y" for "yes"\r+\n'
CREATED = 'Load Option is created, saved in the FW NV storage and added to "BootOrder". :)'
ABORTED = "You have aborted Load Option creation."
CLOSING_PROMPT = "Press <s> to shutdown or anything else (exc. <Enter>) to exit this app."

# The path of the demo disk as each machine shows it before a partition's
# HD() node: it differs by firmware and bus, and the same bus shows the same
# path on every architecture.
UBOOT_ROOT = "/VenHw(e61d73b9-a384-4acc-aeab-82e828f3628b)"
DISK_PATHS = {
    ("edk2", "virtio"): "PciRoot(0x0)/Pci(0x1,0x0)",
    ("uboot", "virtio"): UBOOT_ROOT + "/VenHw(63293792-adf5-9325-b99f-4e0e455c1b1e,00)",
    ("uboot", "sd"): UBOOT_ROOT + "/SD(0)/SD(0)",
    ("edk2", "ahci"): "PciRoot(0x0)/Pci(0x1F,0x2)/Sata(0x0,0xFFFF,0x0)",  # q35's AHCI, port 0
    ("uboot", "ahci"): UBOOT_ROOT + "/Scsi(0,0)",  # U-Boot drives AHCI through its SCSI layer
}


def volume_text(m, part):
    """A partition's device path text as the machine lists it; U-Boot writes
    the digits of a GUID in lower case."""
    hd_text = expected.hd_text(part)
    if m.family == "uboot" and "guid" in part:
        hd_text = hd_text.replace(part["guid"].upper(), part["guid"])
    return f"{DISK_PATHS[m.family, m.target.bus]}/{hd_text}"


def fat_bvsrd_transcript(listed, home, boot, loader_path, size, name, creates_boot_order):
    """The whole console from the banner to the closing prompt, as
    [(attribute, text)], of a run where the firmware lists the volumes
    `listed` (their texts, in order), the loader is on volume number `home`,
    volume number `boot` is a FAT Boot Volume kept as optional data, the
    description and the root path are left to their defaults, and the
    confirmation is answered "y"."""
    normal, high = ATTR_NORMAL, ATTR_HIGHLIGHT
    runs = [(ATTR_BANNER, BANNER + "\n"), (normal, "Found "), (high, f"{len(listed):X}"),
            (normal, VOLUME_COUNT + "\n")]
    for number, text in enumerate(listed):
        runs += [(normal, "["), (high, f"{number:X}"), (normal, f"]:{text}\n")]
    runs += [(normal, HOME_PROMPT), (high, f"{home:X}"),
             (normal, f'\n== {BVSRD_QUESTION}\nType "Y/y" for "yes": y\n'
                      f'==== {PLACEMENT_QUESTION}\n"y" for storing as "FilePathList[1]": n\n'
                      f'==== {FAT_QUESTION} "y" for "yes": y\n{FAT_BOOT_PROMPT}'), (high, f"{boot:X}"),
             (normal, f"\n{DESCRIPTION_PROMPT}\n\n{LOADER_PROMPT}\n"), (high, loader_path),
             (normal, "\nChecking "), (high, loader_path),
             (normal, f" for presence...\n{FOUND}\n{ROOT_PROMPT}\n\nThe Load Option size: "), (high, f"{size:X}"),
             (normal, " bytes (hexadecimal).\n" + ("Need to create BootOrder.\n" if creates_boot_order else "")
                      + ANNOUNCE), (high, name), (normal, '" UEFI Load Option variable...\n'),
             (high, f'{CONFIRM_QUESTION}\ninto UEFI persistent storage?\nType "y" for "yes"\n{CREATED}\n'),
             (normal, CLOSING_PROMPT)]
    return joined(runs)


def start(m):
    """Boot and wait for the banner, which must be in its own colours."""
    m.boot()
    m.expect(BANNER, ATTR_BANNER, timeout=BOOT_TIMEOUT)


class Bvsrd(NamedTuple):
    hd_text: str        # HD() node of the Boot Volume
    fs_type: str        # "FAT", or "KFS", "WFS", "QFS" for a partition without a file system
    as_file_path: bool  # FilePathList[1] rather than OptionalData
    root: str = ""      # system root path as typed; empty takes the default


def listing(m, prompt):
    """Read a numbered listing up to its question: {number: device path text}."""
    m.expect(prompt)
    return {int(n, 16): text for n, text in re.findall(r"\[([0-9A-F]+)\]:(\S+)", plain(m.qemu.before))}


def volumes(m):
    m.expect(VOLUME_COUNT)
    return listing(m, HOME_PROMPT)


def number_of(listing, hd_text):
    """The listed number of the volume whose path ends in this HD() node; U-Boot
    writes its hexadecimal digits in lower case, EDK2 in upper case."""
    found = [n for n, text in listing.items() if text.upper().endswith(hd_text.upper())]
    assert len(found) == 1, f"{hd_text} in {listing}"
    return found[0]


def to_closing_prompt(m):
    """From the banner to the closing prompt by the shortest road: an index out
    of range for the Home Volume, and no second try."""
    volumes(m)
    m.send("FFFF\r")
    m.expect(WRONG_INDEX, ATTR_ERROR)
    m.send("n")
    m.expect(NO_HOME_VOLUME + NOT_READY, ATTR_ERROR)
    m.expect(CLOSING_PROMPT, ATTR_NORMAL)


def answer(m, question, key):
    m.expect(question)
    m.send(key)


def choose_boot_volume(m, sfs_listing, bvsrd):
    answer(m, BVSRD_QUESTION, "y")
    answer(m, PLACEMENT_QUESTION, "y" if bvsrd.as_file_path else "n")
    answer(m, FAT_QUESTION, "y" if bvsrd.fs_type == "FAT" else "n")
    if bvsrd.fs_type == "FAT":
        answer(m, FAT_BOOT_PROMPT, f"{number_of(sfs_listing, bvsrd.hd_text):X}\r")
    else:
        m.partition_listing = listing(m, PARTITION_PROMPT)
        m.send(f"{number_of(m.partition_listing, bvsrd.hd_text):X}\r")
        answer(m, FS_TYPE_PROMPT, f"{FS_TYPE[bvsrd.fs_type] >> 13}\r")


def to_confirmation(m):
    """From the announcement through the whole confirmation question, which
    then waits for its key; returns the variable name announced."""
    m.expect(ANNOUNCE)
    name = m.expect_re(rb"(Boot[0-9A-F]{4})", ATTR_HIGHLIGHT).group(1).decode()
    m.expect(CONFIRM_QUESTION)
    m.expect_re(QUESTION_END)
    return name


def create_entry(m, home_hd_text, description, loader_path, bvsrd=None, confirm="y", esp_listed=True,
                 duplicate=None):
    """The road of a run that makes a boot entry, up to the closing prompt: the
    volume with that HD() node as Home Volume, an optional BVSRD, description
    and loader path, then the confirmation answered with `confirm`. Without
    an ESP among the volumes the warning must come before the confirmation;
    with one it must not come at all. So must the warning about a listed
    entry with the same paths and data, naming `duplicate` (the variable and
    its description in quotes), and only then.
    Returns the record size and the variable name that the run shows."""
    sfs_listing = volumes(m)
    m.send(f"{number_of(sfs_listing, home_hd_text):X}\r")
    if bvsrd:
        choose_boot_volume(m, sfs_listing, bvsrd)
    else:
        answer(m, BVSRD_QUESTION, "n")
    answer(m, DESCRIPTION_PROMPT, description + "\r")
    answer(m, LOADER_PROMPT, loader_path + "\r")
    m.expect(FOUND)
    if bvsrd:
        answer(m, ROOT_PROMPT, bvsrd.root + "\r")
    m.expect("The Load Option size: ")
    size = m.expect_re(rb"([0-9A-F]+)(\x1b\[[0-9;]*m)* bytes \(hexadecimal\)\.", ATTR_HIGHLIGHT)
    if not esp_listed:
        m.expect(ESP_WARNING, ATTR_ERROR)
    if duplicate:
        m.expect(f"Warning: {duplicate}{DUPLICATE_END}", ATTR_ERROR)
    name = to_confirmation(m)
    assert esp_listed != (ESP_WARNING in plain(m.console)), f"ESP listed: {esp_listed}"
    assert bool(duplicate) == (DUPLICATE_END in plain(m.console)), f"duplicate: {duplicate}"
    m.send(confirm)
    if confirm in ("y", "Y"):
        m.expect(CREATED, ATTR_HIGHLIGHT)
    else:
        m.expect(ABORTED, ATTR_ERROR)
    m.expect(CLOSING_PROMPT, ATTR_NORMAL)
    return int(size.group(1), 16), name
