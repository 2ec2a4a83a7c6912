#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Unattended runs of the Linux program, in one Linux that the firmware
starts (as test_linux.py does), the program run from the shell with its
options: an entry made with --json, the same run again writing nothing, a dry
run, a BVSRD entry with --boot-next, a run refused without a terminal; every
JSON record held against the bytes expected.py lays out and against the
store after the power-off, and the entry then started by the firmware."""
import json
import re
import struct
import time

import expected
import harness
from harness import BOOT_TIMEOUT
from linux_targets import LINUX_TARGETS
from storediff import boot_variables, order
from test_linux import FIRMWARE_ORDER, end_linux, start_linux
from testprograms import LOADER_PATH, loader_load_options

# One line of the shell after the program: its exit status and standard
# output between two markers that the shell's echo of the command cannot hold.
# The serial line ends lines with "\r\r\n": every "\r" is dropped.
RESULT = re.compile(rb"RUN STATUS (\d+)\r*\n(.*?)RUN END 42", re.S)


def run_program(m, options, redirect=""):
    """addbootentry with options from the shell; (exit status, standard
    output, standard error) with the console's line ends undone."""
    m.send(f"addbootentry {options} >/tmp/out 2>/tmp/err {redirect}; echo RUN STATUS $?; cat /tmp/out; "
           f"echo RUN END $((6 * 7)); cat /tmp/err; echo RUN ERR $((6 * 7))\r")
    m.expect("RUN END 42")
    match = RESULT.search(m.qemu.before + b"RUN END 42")
    m.expect("RUN ERR 42")
    error = m.qemu.before.decode("utf-8", "replace").replace("\r", "")
    return int(match.group(1)), match.group(2).decode().replace("\r", ""), error


def run_json(m, options, status=0, redirect=""):
    """A run with --json: its one object."""
    got, out, err = run_program(m, options + " --json", redirect)
    assert got == status, f"exit status {got}, expected {status}; standard error:\n{err}"
    lines = out.splitlines()
    assert len(lines) == 1, f"not one line of JSON:\n{out}"
    print(f"{options}:\n  {lines[0]}", flush=True)
    return json.loads(lines[0])


def held_against(report, result, number, record, label, order_now, boot_next=None):
    assert report["result"] == result, report
    assert (report["variable"], report["number"]) == (f"Boot{number:04X}", number), report
    assert bytes.fromhex(report["load_option"]) == record, report["load_option"]
    assert report["label"] == label, report
    assert report["boot_order"] == [f"{n:04X}" for n in order_now], report
    assert report["boot_next"] == (None if boot_next is None else f"{boot_next:04X}"), report


def many_machines(m):
    target = LINUX_TARGETS[m.arch]
    esp, raw = expected.partition(m.geometry, 1), expected.partition(m.geometry, 3)
    loader = expected.short_path(esp, LOADER_PATH)
    plain = expected.load_option("Probe", [loader])
    bvsrd = expected.bvsrd_option("OS on raw", loader, expected.short_path(raw, "Ixo"), "WFS", True)
    first, second = len(FIRMWARE_ORDER), len(FIRMWARE_ORDER) + 1
    started = time.monotonic()
    start_linux(m, True, run=":")
    m.expect("INIT: addbootentry exit status 0")
    loader_option = "--loader '" + LOADER_PATH + "'"

    # The ESP by its mount point, then by its device: the same entry, written once.
    created = run_json(m, f"{loader_option} --volume /boot/efi --label Probe --yes")
    held_against(created, "created", first, plain, "Probe", FIRMWARE_ORDER + [first])
    assert created["device_paths"] == [f"{expected.hd_text(esp)}/{LOADER_PATH}"], created
    assert created["optional_data"] == "", created
    again = run_json(m, f"{loader_option} --volume /dev/{target.disk}1 --label 'Another name' --yes")
    held_against(again, "unchanged", first, plain, "Probe", FIRMWARE_ORDER + [first])

    # A BVSRD: shown by a dry run under the number it would take, then made.
    boot_volume = f"--boot-volume /dev/{target.disk}3 --boot-fs wfs --bvsrd-as path --label 'OS on raw'"
    dry = run_json(m, f"{loader_option} {boot_volume} --dry-run")
    held_against(dry, "dry-run", second, bvsrd, "OS on raw", FIRMWARE_ORDER + [first])
    made = run_json(m, f"{loader_option} {boot_volume} --yes --boot-next")
    held_against(made, "created", second, bvsrd, "OS on raw", FIRMWARE_ORDER + [first, second], second)
    assert made["device_paths"][1] == f"{expected.hd_text(raw)}/Ixo", made

    # No terminal to confirm on: refused before anything is asked, in the
    # object too.
    refused = run_json(m, f"{loader_option} --label Other", 1, "</dev/null")
    assert (refused["result"], refused["variable"], refused["load_option"]) == ("failed", None, None), refused
    assert refused["message"] == "addbootentry: standard input is not a terminal, so the confirmation cannot " \
                                 "be asked; add --yes to write without asking.", refused
    print(f"{m.arch}: five runs in one Linux, {time.monotonic() - started:.1f} s", flush=True)
    end_linux(m, None)

    store = boot_variables(m.variables())
    assert store[f"Boot{first:04X}"] == (7, plain), store[f"Boot{first:04X}"][1].hex()
    assert store[f"Boot{second:04X}"] == (7, bvsrd), store[f"Boot{second:04X}"][1].hex()
    assert store["BootOrder"] == (7, order(FIRMWARE_ORDER + [first, second])), store["BootOrder"]
    assert store["BootNext"][1] == struct.pack("<H", second), store["BootNext"]
    entries = sorted(name for name in store if re.fullmatch(r"Boot[0-9A-F]{4}", name))
    assert entries == [f"Boot{n:04X}" for n in FIRMWARE_ORDER + [first, second]], entries

    # --boot-next: the firmware starts the BVSRD entry, whose optional data is the FS type.
    m.boot()
    m.expect(f'BdsDxe: starting Boot{second:04X} "OS on raw" from {expected.hd_text(esp)}/{LOADER_PATH}',
             timeout=BOOT_TIMEOUT)
    assert loader_load_options(m) == struct.pack("<H", expected.FS_TYPE["WFS"])
    m.expect_exit(0)


if __name__ == "__main__":
    harness.run([many_machines])
