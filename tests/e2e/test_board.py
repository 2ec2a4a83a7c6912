#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The demo disk as a board's SD card carries it: an MBR instead of a GPT.
U-Boot keeps its variables in a file on the EFI System Partition, so an MBR
partition of type 0xEF holds the entry across a reboot, while on the usual
FAT partition (type 0x0C) the firmware accepts the write, the application
reports the entry as saved (after its warning that no listed volume is an
ESP), and the next boot has forgotten it."""
import expected
import harness
import mkdisk
from dialogue import BANNER, CREATED, start
from test_entry import esp, first_entry, run
from testprograms import LOADER_PATH, boot_entry

NOT_PERSISTED = "Failed to persist EFI variables"


def mbr_esp_entry_persists_and_boots(m):
    m.new_disk("mbr")
    assert expected.hd_text(esp(m)).startswith("HD(1,MBR,0x5EC0B007,"), expected.hd_text(esp(m))
    record = expected.load_option("Test loader", [expected.short_path(esp(m), LOADER_PATH)])
    number = first_entry(m, record, "Test loader", LOADER_PATH)
    assert NOT_PERSISTED not in harness.plain(m.console)
    assert boot_entry(m, number, "Test loader") == b""


def fat_partition_loses_the_entry(m):
    m.new_disk("mbr-fat")
    record = expected.load_option("Test loader", [expected.short_path(esp(m), LOADER_PATH)])
    # The firmware marks no handle as an ESP: the application warns, then writes.
    assert run(m, record, "Test loader", LOADER_PATH, esp_listed=False) == "Boot0000"
    shown = harness.plain(m.console)
    assert shown.index(NOT_PERSISTED) < shown.index(CREATED), "the firmware did not refuse to keep it"
    assert mkdisk.get_file(m.disk, mkdisk.ESP, "ubootefi.var") is None
    assert m.variables() == {}
    # The next boot knows no entry and starts the removable-media program again.
    m.boot()
    m.expect("BootOrder not defined", timeout=harness.BOOT_TIMEOUT)
    m.expect(BANNER)


if __name__ == "__main__":
    harness.run([mbr_esp_entry_persists_and_boots, fat_partition_loses_the_entry])
