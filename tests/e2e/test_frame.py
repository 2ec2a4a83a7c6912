#!/usr/bin/python3
"""The frame of every run on real firmware: the banner in black on cyan, the
closing prompt in cyan on black, 's' powers the machine off and any other key
returns to the firmware."""
import harness
from dialogue import start, to_closing_prompt


def s_powers_off(m):
    start(m)
    to_closing_prompt(m)
    m.send("s")
    m.expect_exit(0)


def upper_case_s_returns_to_firmware(m):
    start(m)
    to_closing_prompt(m)
    m.send("S")
    m.expect_re(harness.FIRMWARE_RESUMES[m.firmware])
    assert m.qemu.isalive(), "the machine went down instead of returning to the firmware"


if __name__ == "__main__":
    harness.run([s_powers_off, upper_case_s_returns_to_firmware])
