#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Runs that make a boot entry on real firmware, the ESP as Home Volume. The
new Boot#### must hold the record computed from the demo disk's geometry,
BootOrder must gain its number at the end, nothing else may change, and the
entry must start the test loader with the LoadOptions it should."""
import expected
import harness
from dialogue import BANNER, Bvsrd, create_entry, fat_bvsrd_transcript, start, volume_text
from storediff import boot_changes, boot_variables, order
from testprograms import LOADER_PATH, boot_entry, set_variables

# EDK2's first boot makes Boot0000 to Boot0002 and lists them; U-Boot makes none.
FIRMWARE_ORDER = {"edk2": [0, 1, 2], "uboot": []}


def esp(m):
    return expected.partition(m.geometry, 1)


def run(m, record, description, loader_path, bvsrd=None, confirm="y", esp_listed=True,
        duplicate=None):
    """One run of the application that powers off at the end; returns the name it announced."""
    start(m)
    size, name = create_entry(m, expected.hd_text(esp(m)), description, loader_path, bvsrd, confirm,
                              esp_listed, duplicate)
    assert size == len(record), f"record of {size:#x} bytes, expected {len(record):#x}"
    m.send("s")
    m.expect_exit(0)
    return name


def first_entry(m, record, description, loader_path, bvsrd=None):
    """A run on a fresh store: the entry takes the lowest number the firmware left free."""
    number = len(FIRMWARE_ORDER[m.family])
    assert run(m, record, description, loader_path, bvsrd) == f"Boot{number:04X}"
    store = boot_variables(m.variables())
    assert store[f"Boot{number:04X}"] == (7, record), store[f"Boot{number:04X}"][1].hex()
    assert store["BootOrder"] == (7, order(FIRMWARE_ORDER[m.family] + [number])), store["BootOrder"]
    assert set(store) == {f"Boot{n:04X}" for n in FIRMWARE_ORDER[m.family] + [number]} | {"BootOrder"}
    return number


def declined_then_second_entry(m):
    # The entry starts the application itself, so that U-Boot, whose boot
    # manager starts it before the removable-media path, runs the application
    # again.
    # The same entry again: the first one is named before each question.
    app_path = "\\" + m.removable_boot.replace("/", "\\")
    record = expected.load_option("Again", [expected.short_path(esp(m), app_path)])
    number = first_entry(m, record, "Again", app_path)
    before = m.variables()
    first = f'Boot{number:04X} "Again"'
    assert run(m, record, "Again", app_path, confirm="n", duplicate=first) == f"Boot{number + 1:04X}"
    assert boot_changes(before, m.variables()) == {}, "a declined run changed variables"
    assert run(m, record, "Again", app_path, duplicate=first) == f"Boot{number + 1:04X}"
    assert boot_changes(before, m.variables()) == {
        f"Boot{number + 1:04X}": (None, (7, record)),
        "BootOrder": (before["BootOrder"][1:], (7, order(FIRMWARE_ORDER[m.family] + [number, number + 1])))}


def bvsrd_as_file_path_boots(m):
    # FilePathList[1] is for the operating system: the loader gets only the code.
    raw = expected.partition(m.geometry, 3)
    loader = expected.short_path(esp(m), LOADER_PATH)
    boot_path = expected.short_path(raw, "Ixo")
    record = expected.bvsrd_option("OS on raw", loader, boot_path, "WFS", True)
    assert int.from_bytes(record[4:6], "little") == len(loader) + len(boot_path)
    assert record[-2:] == bytes([0x00, 0x40])
    number = first_entry(m, record, "OS on raw", LOADER_PATH, Bvsrd(expected.hd_text(raw), "WFS", True))
    # The whole disk has no HD() node and the two FAT partitions are offered
    # as volumes: the bare partition is the only one listed, under its own
    # Block I/O position (the whole disk comes first in both firmwares' lists).
    assert len(m.partition_listing) == 1, m.partition_listing
    assert list(m.partition_listing)[0] > 0, m.partition_listing
    assert boot_entry(m, number, "OS on raw") == bytes.fromhex("0040")


def bvsrd_as_optional_data_boots(m):
    # Enter alone at the description and at the root path: "Unnamed" and "Ixo".
    # The whole dialogue is checked, every text in its colour.
    data = expected.partition(m.geometry, 2)
    root = expected.short_path(data, "Ixo")
    loader = expected.short_path(esp(m), LOADER_PATH)
    record = expected.bvsrd_option("Unnamed", loader, root, "FAT", False)
    number = first_entry(m, record, "", LOADER_PATH, Bvsrd(expected.hd_text(data), "FAT", False))
    shown = harness.coloured_text(m.console, m.console.rindex(BANNER.encode()))
    whole = fat_bvsrd_transcript([volume_text(m, esp(m)), volume_text(m, data)], 0, 1, LOADER_PATH,
                                 len(record), f"Boot{number:04X}", not FIRMWARE_ORDER[m.family])
    assert shown == whole, "\n".join(f"{a:#04x} {t!r}" for a, t in shown)
    assert boot_entry(m, number, "Unnamed") == root + bytes(2)


def unlisted_entry_is_kept(m):
    # A Boot#### that BootOrder does not list still belongs to someone.
    taken = len(FIRMWARE_ORDER[m.family])
    planted = expected.load_option("planted", [expected.short_path(esp(m), LOADER_PATH)], b"keep me")
    set_variables(m, {f"Boot{taken:04X}": (7, planted)})
    before = m.variables()
    record = expected.load_option("Test loader", [expected.short_path(esp(m), LOADER_PATH)])
    assert run(m, record, "Test loader", LOADER_PATH) == f"Boot{taken + 1:04X}"
    after = m.variables()
    assert after[f"Boot{taken:04X}"] == before[f"Boot{taken:04X}"]
    assert boot_variables(after)["BootOrder"] == (7, order(FIRMWARE_ORDER[m.family] + [taken + 1]))
    assert boot_variables(after)[f"Boot{taken + 1:04X}"] == (7, record)


if __name__ == "__main__":
    harness.run([declined_then_second_entry, bvsrd_as_file_path_boots, bvsrd_as_optional_data_boots,
                 unlisted_entry_is_kept])
