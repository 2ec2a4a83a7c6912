#!/usr/bin/python3
"""The frame of every run on real firmware. The banner's colours and 's' at the
closing prompt are checked by every run of the other scenarios; here any
other key, even 'S', must return to the firmware instead of powering off."""
import harness
from dialogue import start, to_closing_prompt


def upper_case_s_returns_to_firmware(m):
    start(m)
    to_closing_prompt(m)
    m.send("S")
    m.expect_re(harness.FIRMWARE_RESUMES[m.firmware])
    assert m.qemu.isalive(), "the machine went down instead of returning to the firmware"


if __name__ == "__main__":
    harness.run([upper_case_s_returns_to_firmware])
