#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Unattended runs on real firmware: the options on the EDK2 Shell's command
line, and a provisioning disk whose addbootentry.conf, beside the image,
makes the entry, sets BootNext and reboots, after which the firmware starts
the new entry with no key pressed. Every record is compared with the one
the dialogue's tests expect for the same answers (expected.py)."""
import re

import expected
import harness
import mkdisk
from storediff import boot_changes, boot_variables
from testprograms import LOADER_PATH, loader_load_options

TOOL_PATH = r"\EFI\tools"
CREATED = r'(Boot[0-9A-F]{{4}}) "{label}" created and added to BootOrder'
UNCHANGED = '{name} "{label}" already boots this; nothing written'


def esp(m):
    return expected.partition(m.geometry, 1)


def shell_prompt(m):
    """The Shell's prompt after the startup script's countdown, which Esc cuts short."""
    m.expect("any other key to continue", timeout=harness.BOOT_TIMEOUT)
    m.send("\x1b")
    m.expect("Shell> ")


def shell_command(m, command):
    """Type a line; the Shell echoes it a character at a time, each with a
    cursor move, so the echo is not looked for."""
    m.send(command + "\r")


def last_error(m, mapped):
    shell_command(m, "echo %lasterror%")
    status = m.expect_re(rb"(0x[0-9A-Fa-f]+)\r").group(1).decode()
    m.expect(f"{mapped}:\\> ")
    return int(status, 16)


def shell_command_line(m):
    """From the Shell of a machine whose disk starts nothing: the image with
    its options, twice (the second run finds the entry and writes nothing),
    then with an option the firmware does not know; each run's status
    reaches the Shell's %lasterror%."""
    label = "Shell entry"
    image = TOOL_PATH + "\\" + m.app
    m.put_esp_files({image[1:].replace("\\", "/"): m.program(m.app)})
    mkdisk.remove_file(m.disk, mkdisk.ESP, m.removable_boot)
    before = m.variables()
    m.boot()
    shell_prompt(m)
    # The Shell's name for the ESP, from its mapping table.
    esp_text = expected.hd_text(esp(m)).split(",0x")[0]
    mapping = re.search(r"(FS\d+):[^\n]*\n\s*\S*" + re.escape(esp_text), harness.plain(m.console))
    assert mapping, "the Shell lists no file system on the ESP"
    mapped = mapping.group(1)
    shell_command(m, f"{mapped}:")
    m.expect(f"{mapped}:\\> ")
    run = f'{image} --loader {LOADER_PATH} --label "{label}" --yes'
    shell_command(m, run)
    created = CREATED.format(label=label).encode()
    name = m.expect_re(created, timeout=harness.BOOT_TIMEOUT).group(1).decode()
    m.expect(f"{mapped}:\\> ")
    assert last_error(m, mapped) == 0
    shell_command(m, run)
    m.expect(UNCHANGED.format(name=name, label=label))
    m.expect(f"{mapped}:\\> ")
    assert last_error(m, mapped) == 0
    shell_command(m, f"{image} --loader {LOADER_PATH} --json")
    m.expect("E: --json: no such option (--help lists them)")
    # The Shell keeps the status without its error bit: 2 for EFI_INVALID_PARAMETER.
    assert last_error(m, mapped) == 0x2
    shell_command(m, "reset -s")
    m.expect_exit(0)
    record = expected.load_option(label, [expected.short_path(esp(m), LOADER_PATH)])
    changes = boot_changes(before, m.variables())
    number = int(name[4:], 16)
    assert changes[name] == (None, (7, record)), changes
    assert changes["BootOrder"][1][1][-2:] == number.to_bytes(2, "little"), changes


def provisioning_conf_boots_the_entry_next(m):
    """addbootentry.conf beside the image the firmware starts from the disk:
    the entry is made, BootNext names it, the machine reboots, and the next
    start runs the entry's loader with nobody at the keyboard."""
    label = "Provisioned"
    conf = (f"# made by the e2e test\r\n--loader {LOADER_PATH}\r\n--label {label}\r\n"
            "--yes\r\n--boot-next\r\n--then reboot\r\n")
    folder = m.removable_boot.rsplit("/", 1)[0]
    m.put_esp_files({f"{folder}/addbootentry.conf": conf.encode()})
    m.boot()
    name = m.expect_re((CREATED.format(label=label) + "; BootNext set").encode(),
                       timeout=harness.BOOT_TIMEOUT).group(1).decode()
    m.expect_exit(0)  # the reset; QEMU runs with -no-reboot
    number = int(name[4:], 16)
    record = expected.load_option(label, [expected.short_path(esp(m), LOADER_PATH)])
    store = boot_variables(m.variables())  # a fresh store before: every entry is new
    assert store[name] == (7, record), store[name][1].hex()
    assert store["BootOrder"][1][-2:] == number.to_bytes(2, "little"), store["BootOrder"]
    assert store["BootNext"] == (7, number.to_bytes(2, "little")), store["BootNext"]
    m.boot()
    m.expect(harness.ENTRY_STARTS[m.family].format(number=number, description=label),
             timeout=harness.BOOT_TIMEOUT)
    assert loader_load_options(m) == b""
    m.expect_exit(0)


if __name__ == "__main__":
    harness.run([shell_command_line, provisioning_conf_boots_the_entry_next])
