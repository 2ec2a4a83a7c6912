#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""What a person at a serial terminal sees, rendered by a terminal emulator:
the application starts on a clean screen although the terminal is full of
firmware output; Backspace as terminals send it (DEL) and Ctrl-H erase the
last character on screen and in the entry, on the row where it was typed and
back across a wrap, and touch no earlier line; a key typed ahead of the
confirmation question does not answer it. One boot per firmware."""
import pexpect

import expected
import harness
from dialogue import (ABORTED, ATTR_BANNER, BANNER, BVSRD_QUESTION, CLOSING_PROMPT, CREATED,
                      DESCRIPTION_PROMPT, FAT_BOOT_PROMPT, FAT_QUESTION, LOADER_PROMPT,
                      PLACEMENT_QUESTION, ROOT_PROMPT, answer, number_of, to_confirmation, volumes)
from storediff import boot_variables, order
from terminal import Terminal
from testprograms import LOADER_PATH

# U-Boot lays out its console on the terminal's size: at 40 columns the
# loader path below wraps, and with 60 rows the dialogue is still far from
# the bottom row when it erases. EDK2's serial console is 80 x 25 on any
# terminal.
TERMINAL = {"edk2": (80, 25), "uboot": (40, 60)}

DEL, CTRL_H = "\x7f", "\x08"
DESCRIPTION_KEYS = "My loadr" + DEL * 2 + "der 1" + CTRL_H + "2"
DESCRIPTION = "My loader 2"
# 32 characters fill the root path's line (31 are kept); the 33rd is typed
# ahead of the confirmation question.
ROOT_TYPED = r"\Ixo\typed\ahead\of\the\question"
ROOT = ROOT_TYPED[:31]
# Long enough for a typed-ahead key to have written and said so.
QUIET = 5


def prompt_row(lines, prompt):
    rows = [n for n, line in enumerate(lines) if line == prompt]
    return rows[-1] if rows else None


def at_prompt(m, prompt):
    """Wait until a line prompt is on screen with the cursor below it; the
    lines down to the prompt as they are then."""
    m.expect(prompt)

    def ready(t):
        row = prompt_row(t.lines(), prompt)
        return row is not None and t.cursor() == (0, row + 1)
    m.expect_screen(f"the prompt {prompt!r} with the cursor below it", ready)
    return m.terminal.lines()[:prompt_row(m.terminal.lines(), prompt) + 1]


def type_and_see(m, prompt, above, keys, shown):
    """Type keys, then wait until the rows below the prompt show `shown`
    (wrapped at the terminal's width) with the cursor right after it and
    nothing further down, while the prompt and every line above it are as
    they were before typing (only scrolled, where the typing scrolled)."""
    m.send(keys)
    columns = m.terminal.screen.columns
    assert len(shown) % columns, "a full row leaves the terminal's cursor in its last column"
    wrapped = [shown[at:at + columns] for at in range(0, len(shown), columns)]

    def shows(t):
        lines, row = t.lines(), prompt_row(t.lines(), prompt)
        return (row is not None and lines[:row + 1] == above[len(above) - row - 1:]
                and lines[row + 1:] == wrapped + [""] * (len(lines) - row - 1 - len(wrapped))
                and t.cursor() == (len(shown) % columns, row + len(wrapped)))
    m.expect_screen(f"{shown!r} typed below {prompt!r} and the lines above as before", shows)


def starts_on_a_clean_screen(m):
    columns, rows = TERMINAL[m.family]
    terminal = Terminal(columns, rows)
    # The terminal is full of earlier output: the firmware starts on its
    # bottom row, and so does the application if the screen is not cleared.
    terminal.write(b"earlier output\r\n" * rows)
    m.boot(terminal)
    m.expect(BANNER, ATTR_BANNER, timeout=harness.BOOT_TIMEOUT)
    m.expect_screen("the banner on the top row", lambda t: t.lines()[0] == BANNER)


def erase_on_screen(m):
    listed = volumes(m)
    m.send(f"{number_of(listed, expected.hd_text(expected.partition(m.geometry, 1))):X}\r")
    answer(m, BVSRD_QUESTION, "y")
    answer(m, PLACEMENT_QUESTION, "n")
    answer(m, FAT_QUESTION, "y")
    answer(m, FAT_BOOT_PROMPT, f"{number_of(listed, expected.hd_text(expected.partition(m.geometry, 2))):X}\r")
    above = at_prompt(m, DESCRIPTION_PROMPT)
    type_and_see(m, DESCRIPTION_PROMPT, above, DESCRIPTION_KEYS, DESCRIPTION)
    m.send("\r")
    above = at_prompt(m, LOADER_PROMPT)
    # Where the terminal is narrow, the text has wrapped before it is erased.
    type_and_see(m, LOADER_PROMPT, above, LOADER_PATH + "x" * 25, LOADER_PATH + "x" * 25)
    type_and_see(m, LOADER_PROMPT, above, DEL * 25, LOADER_PATH)
    m.send("\r")


def typed_ahead_key_does_not_confirm(m):
    """Returns the name of the variable written."""
    answer(m, ROOT_PROMPT, ROOT_TYPED + "y")
    name = to_confirmation(m)
    early = m.qemu.expect_exact([CREATED.encode(), ABORTED.encode(), pexpect.TIMEOUT], timeout=QUIET)
    assert early == 2, f"the question was answered before a key was pressed: {m.qemu.after!r}"
    m.send("y")
    m.expect(CREATED)
    m.expect(CLOSING_PROMPT)
    m.send("s")
    m.expect_exit(0)
    return name


def typing_at_a_terminal(m):
    starts_on_a_clean_screen(m)
    erase_on_screen(m)
    name = typed_ahead_key_does_not_confirm(m)
    esp, data = expected.partition(m.geometry, 1), expected.partition(m.geometry, 2)
    record = expected.bvsrd_option(DESCRIPTION, expected.short_path(esp, LOADER_PATH),
                                   expected.short_path(data, ROOT), "FAT", False)
    store = boot_variables(m.variables())
    assert store[name] == (7, record), store[name][1].hex()
    assert store["BootOrder"][1][-2:] == order([int(name[4:], 16)]), store["BootOrder"]


if __name__ == "__main__":
    harness.run([typing_at_a_terminal])
