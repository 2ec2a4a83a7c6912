#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The graphical console of a board with a monitor and a USB keyboard (EDK2
only: U-Boot's qemu_arm64 has no video and no USB keyboard). A whole
dialogue typed on the USB keyboard, a typo mended with its Backspace key;
the entry must be byte-exact, and the screenshot must show what a person
expects: the firmware's logo and progress bar gone, the text in the colours
of its roles, and a cursor where the answer goes. The screenshots stay in
the scenario's work folder as PNG files."""
import os
import time

from PIL import Image

import expected
import harness
import qmp
from dialogue import (ATTR_BANNER, BANNER, BVSRD_QUESTION, CLOSING_PROMPT, CREATED,
                      DESCRIPTION_PROMPT, FOUND, LOADER_PROMPT, WRONG_INDEX, number_of,
                      to_confirmation, volumes)
from storediff import boot_variables
from testprograms import LOADER_PATH

# EDK2's text colours on the display (measured on ramfb), by role.
BLACK = (0, 0, 0)
CYAN = (0, 152, 152)          # ATTR_NORMAL, and the banner's background
LIGHT_CYAN = (0, 255, 255)    # ATTR_HIGHLIGHT
LIGHT_RED = (255, 0, 0)       # ATTR_ERROR
CELL_WIDTH = 8                # EDK2's font is 8 x 19 pixels
# The graphical console draws after the serial line has shown the same text:
# a screenshot is taken again, this often, until it shows what it must.
RETAKE = 0.5


def press(m, char, answer=None):
    """One key on the USB keyboard, then wait for what it brings on the serial
    line (EDK2 writes both consoles): keys are not pressed faster than the
    application reads them, which the keyboard's short queue would not hold."""
    m.qmp.press(qmp.keys_of(char))
    if answer is not None:
        m.expect(answer)


def type_text(m, text):
    for char in text:
        press(m, char, char)  # the echo


def backspace(m):
    m.qmp.press(qmp.keys_of("\b"))
    # The erase moves the cursor back, prints a space and moves back again.
    m.expect_re(rb"\x1b\[[0-9;]*H \x1b\[[0-9;]*H")


def screenshot(m, name, holds=None):
    """The screen once holds(image) passes (its assertion, after
    STEP_TIMEOUT, fails the test); without holds, the screen as it is."""
    path = os.path.join(m.work_dir, name)
    deadline = time.monotonic() + harness.STEP_TIMEOUT
    while True:
        m.qmp.screendump(path)
        image = Image.open(path).convert("RGB")
        try:
            if holds is not None:
                holds(image)
            return image
        except AssertionError:
            if time.monotonic() > deadline:
                raise
        time.sleep(RETAKE)


def check_screen(image):
    """What a person notices on the screen at the confirmation question."""
    counts = {colour: n for n, colour in image.getcolors(image.width * image.height)}
    strays = sorted(((n, c) for c, n in counts.items() if c not in (BLACK, CYAN, LIGHT_CYAN, LIGHT_RED)),
                    reverse=True)
    assert not strays, (f"{sum(n for n, _ in strays)} pixels in {len(strays)} colours that no text role has "
                        f"(logo, progress bar, firmware text?), most: {strays[:5]}")
    for role, colour in (("normal", CYAN), ("highlight", LIGHT_CYAN), ("error", LIGHT_RED)):
        assert counts.get(colour, 0) > 100, f"no {role} text in {colour}: {counts}"
    left, top, right, bottom = image.getbbox()
    # The banner, black on cyan, starts the screen at its top left corner.
    assert image.getpixel((left, top)) == CYAN, f"top left corner {image.getpixel((left, top))}"
    # The cursor: the lowest pixels drawn are a short bar at the start of a line.
    lowest = [x for x in range(image.width) if image.getpixel((x, bottom - 1)) != BLACK]
    assert lowest == list(range(left, left + CELL_WIDTH)), f"no cursor at the line start: {lowest}"


def whole_dialogue_on_usb_keyboard(m):
    m.boot(graphics=True)
    m.expect(BANNER, ATTR_BANNER, timeout=harness.BOOT_TIMEOUT)
    listed = volumes(m)
    type_text(m, "FFFF")
    press(m, "\r", WRONG_INDEX)
    press(m, "y", "y")
    type_text(m, f"{number_of(listed, expected.hd_text(expected.partition(m.geometry, 1))):X}")
    press(m, "\r", BVSRD_QUESTION)
    press(m, "n", DESCRIPTION_PROMPT)
    type_text(m, "Graphicak")
    backspace(m)
    type_text(m, "l")
    press(m, "\r", LOADER_PROMPT)
    type_text(m, LOADER_PATH)
    press(m, "\r", FOUND)
    name = to_confirmation(m)
    screenshot(m, "confirmation.png", check_screen)
    press(m, "y", CREATED)
    m.expect(CLOSING_PROMPT)
    screenshot(m, "closing.png")
    press(m, "s")
    m.expect_exit(0)
    record = expected.load_option("Graphical", [expected.short_path(expected.partition(m.geometry, 1),
                                                                   LOADER_PATH)])
    assert boot_variables(m.variables())[name] == (7, record)


if __name__ == "__main__":
    harness.run([whole_dialogue_on_usb_keyboard])
