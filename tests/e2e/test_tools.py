#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Our test tools on real firmware, apart from the application, so that a
fault in them is not mistaken for one of the application: setvars.efi writes
an entry and BootNext, the firmware starts that entry, the test loader reports
its LoadOptions, and the store reader decodes what the firmware stored."""
import expected
import harness
import varstore
from storediff import boot_changes, order
from testprograms import LOADER_PATH, loader_load_options, set_variables


def firmware_entries_decode(store):
    # A fresh EDK2 store gets these three entries on the first boot.
    assert store["BootOrder"][1:] == (7, order([0, 1, 2])), store.get("BootOrder")
    options = {n: varstore.decode_load_option(store[n][2]) for n in ("Boot0000", "Boot0001", "Boot0002")}
    assert options["Boot0000"]["description"] == "UiApp", options["Boot0000"]
    assert options["Boot0000"]["file_paths"][0].startswith("Fv("), options["Boot0000"]
    assert options["Boot0001"]["file_paths"] == ["PciRoot(0x0)/Pci(0x1,0x0)"], options["Boot0001"]
    assert all(o["bvsrd"] is None for o in options.values()), options


def planted_entry_boots_with_its_optional_data(m):
    loader = expected.short_path(expected.partition(m.geometry, 1), LOADER_PATH)
    boot_volume = expected.short_path(expected.partition(m.geometry, 3), "Ixo")
    option = expected.bvsrd_option("planted", loader, boot_volume, "KFS", as_file_path=False)
    set_variables(m, {"Boot0003": (7, option), "BootNext": (7, order([3]))})
    planted = m.variables()
    assert planted["Boot0003"][1:] == (7, option)
    if m.family == "edk2":
        firmware_entries_decode(planted)
    m.boot()
    m.expect(harness.ENTRY_STARTS[m.family].format(number=3, description="planted"),
             timeout=harness.BOOT_TIMEOUT)
    received = loader_load_options(m)
    m.expect_exit(0)
    assert received == boot_volume + bytes.fromhex("0020"), received.hex()
    # The firmware consumes BootNext and leaves everything else as it was.
    assert boot_changes(planted, m.variables()) == {"BootNext": ((7, order([3])), None)}
    decoded = varstore.decode_load_option(option)
    assert decoded["file_paths"] == [
        "HD(1,GPT,C0DE0001-E5B0-4A1E-8D1A-0123456789AB,0x800,0x10000)/" + LOADER_PATH], decoded
    assert decoded["bvsrd"]["placement"] == "OptionalData", decoded


if __name__ == "__main__":
    harness.run([planted_entry_boots_with_its_optional_data])
