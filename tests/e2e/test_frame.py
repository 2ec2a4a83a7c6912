#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The frame of every run on real firmware. The banner's colours and 's' at the
closing prompt are checked by every run of the other scenarios; here any
other key, even 'S', must return to the firmware instead of powering off."""
import expected
import harness
from dialogue import (ATTR_ERROR, ATTR_NORMAL, BVSRD_QUESTION, CLOSING_PROMPT, DESCRIPTION_PROMPT,
                      LOADER_PROMPT, answer, number_of, start, to_closing_prompt, volumes)

NOT_FOUND = "E: The file, you specified is not found. Check File Path again and rerun."


def upper_case_s_returns_to_firmware(m):
    start(m)
    to_closing_prompt(m)
    m.send("S")
    m.expect_re(harness.FIRMWARE_RESUMES[m.family])
    assert m.qemu.isalive(), "the machine went down instead of returning to the firmware"


def missing_loader_is_reported(m):
    start(m)
    esp = expected.hd_text(expected.partition(m.geometry, 1))
    m.send(f"{number_of(volumes(m), esp):X}\r")
    answer(m, BVSRD_QUESTION, "n")
    answer(m, DESCRIPTION_PROMPT, "\r")
    answer(m, LOADER_PROMPT, "\\EFI\\missing.efi\r")
    m.expect(NOT_FOUND, ATTR_ERROR)
    m.expect(CLOSING_PROMPT, ATTR_NORMAL)
    m.send("s")
    m.expect_exit(0)


if __name__ == "__main__":
    harness.run([upper_case_s_returns_to_firmware, missing_loader_is_reported])
