"""The application's side of the console conversation as the tests meet it:
its texts and colours, and the roads that lead a run through the dialogue.
When the dialogue gains a step, the roads here gain it too, and every
scenario keeps reaching the point it tests."""
import re
from typing import NamedTuple

from expected import FS_TYPE
from harness import BOOT_TIMEOUT, plain

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
