"""The application's side of the console conversation as the tests meet it:
its texts and colours, and the roads that lead a run through the dialogue.
When the dialogue gains a step, the roads here gain it too, and every
scenario keeps reaching the point it tests."""
import re

from harness import BOOT_TIMEOUT, plain

ATTR_BANNER = 0x30      # black on cyan
ATTR_NORMAL = 0x03      # cyan on black
ATTR_HIGHLIGHT = 0x0B   # light cyan
ATTR_ERROR = 0x0C       # light red
ATTR_LIST_ERROR = 0x04  # red
NOT_READY = "8000000000000006"

BANNER = "Let's create our Load Option!"
VOLUME_COUNT = " handles (hex), supporting SFSP."
HOME_PROMPT = "Enter the index for Home Volume (Loader home): "
WRONG_INDEX = 'Wrong index, type "y" for trying again: '
NO_HOME_VOLUME = "E: user fail to pick the Home Volume, S: "
DESCRIPTION_PROMPT = "Now, type Description:"
LOADER_PROMPT = "Now, type Loader File Path:"
FOUND = "Success!"
CLOSING_PROMPT = "Press <s> to shutdown or anything else (exc. <Enter>) to exit this app."


def start(m):
    """Boot and wait for the banner, which must be in its own colours."""
    m.boot()
    m.expect(BANNER, ATTR_BANNER, timeout=BOOT_TIMEOUT)


def volumes(m):
    """Read the volume listing up to the Home Volume question: {number: device path text}."""
    m.expect(VOLUME_COUNT)
    m.expect(HOME_PROMPT)
    return {int(n, 16): text for n, text in re.findall(r"\[([0-9A-F]+)\]:(\S+)", plain(m.qemu.before))}


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


def create_entry(m, home_hd_text, description, loader_path):
    """The road of a typical run: the volume with that HD() node as Home Volume,
    then description and loader path. Returns the record size the run shows."""
    m.send(f"{number_of(volumes(m), home_hd_text):X}\r")
    m.expect(DESCRIPTION_PROMPT)
    m.send(description + "\r")
    m.expect(LOADER_PROMPT)
    m.send(loader_path + "\r")
    m.expect(FOUND)
    m.expect("The Load Option size: ")
    size = m.expect_re(rb"([0-9A-F]+)(\x1b\[[0-9;]*m)* bytes \(hexadecimal\)\.", ATTR_HIGHLIGHT)
    return int(size.group(1), 16)
