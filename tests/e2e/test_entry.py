#!/usr/bin/python3
"""Runs that build a boot entry on real firmware: the ESP as Home Volume and
the test loader as the loader, without and with a BVSRD in each placement.
The record each run builds must match the one computed from the demo disk's
geometry."""
import expected
import harness
from dialogue import ATTR_NORMAL, CLOSING_PROMPT, Bvsrd, create_entry, start
from testprograms import LOADER_PATH


def run_and_check(m, record, description, bvsrd=None):
    start(m)
    size = create_entry(m, expected.hd_text(expected.partition(m.geometry, 1)), description,
                        LOADER_PATH, bvsrd)
    assert size == len(record), f"record of {size:#x} bytes, expected {len(record):#x}"
    m.expect(CLOSING_PROMPT, ATTR_NORMAL)
    m.send("s")
    m.expect_exit(0)


def loader(m):
    return expected.short_path(expected.partition(m.geometry, 1), LOADER_PATH)


def typical_run(m):
    run_and_check(m, expected.load_option("Test loader", [loader(m)]), "Test loader")


def bvsrd_on_a_bare_partition_as_file_path(m):
    # An empty system root path stands for "Ixo".
    raw = expected.partition(m.geometry, 3)
    record = expected.bvsrd_option("OS on raw", loader(m), expected.short_path(raw, "Ixo"), "QFS",
                                   as_file_path=True)
    run_and_check(m, record, "OS on raw", Bvsrd(expected.hd_text(raw), "QFS", as_file_path=True))


def bvsrd_on_the_fat_data_volume_as_optional_data(m):
    data = expected.partition(m.geometry, 2)
    record = expected.bvsrd_option("OS on FAT", loader(m), expected.short_path(data, r"\Ixo"), "FAT",
                                   as_file_path=False)
    run_and_check(m, record, "OS on FAT",
                  Bvsrd(expected.hd_text(data), "FAT", as_file_path=False, root=r"\Ixo"))


if __name__ == "__main__":
    harness.run([typical_run, bvsrd_on_a_bare_partition_as_file_path,
                 bvsrd_on_the_fat_data_volume_as_optional_data])
