#!/usr/bin/python3
"""A typical run on real firmware: the ESP as Home Volume, a description and
the test loader's path. The record the run builds must match the one computed
from the demo disk's geometry."""
import expected
import harness
from dialogue import CLOSING_PROMPT, ATTR_NORMAL, create_entry, start
from testprograms import LOADER_PATH


def typical_run(m):
    esp = expected.partition(m.geometry, 1)
    record = expected.load_option("Test loader", [expected.short_path(esp, LOADER_PATH)])
    start(m)
    size = create_entry(m, expected.hd_text(esp), "Test loader", LOADER_PATH)
    assert size == len(record), f"record of {size:#x} bytes, expected {len(record):#x}"
    m.expect(CLOSING_PROMPT, ATTR_NORMAL)
    m.send("s")
    m.expect_exit(0)


if __name__ == "__main__":
    harness.run([typical_run])
