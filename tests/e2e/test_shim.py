#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Secure Boot as machines ship, trusting only Microsoft's keys: the stick of
a release signed with a key of our own starts Debian's shim, which refuses
our image until the user has enrolled the release's certificate with
MokManager from the stick; after the reboot shim starts the dialogue, which
makes a typical entry for such a machine: a distribution's shim on the
machine's disk with its second stage (our test loader, signed with the same
key) beside it. The next boot, stick pulled, starts that entry, and the
loader sees Secure Boot on.

The release is made here, by tools/release/mkdist.py, from the build's image
with a key made for the run, and shim from the folder that
tools/release/fetch-shim.sh fills (SHIM_DIR, build/firmware/shim)."""
import os
import shutil
import subprocess
import sys

import expected
import harness
import mkdisk
from dialogue import ATTR_BANNER, BANNER, create_entry
from test_image import key_pair
from testprograms import loader_load_options

REPO = os.path.join(harness.HERE, "..", "..")
sys.path.insert(0, os.path.join(REPO, "tools", "release"))
import mkdeb  # noqa: E402
import mkmedia  # noqa: E402

MKDIST = os.path.join(REPO, "tools", "release", "mkdist.py")
SIGN = os.path.join(REPO, "tools", "release", "sign-efi.sh")
SHIM_DIR = os.environ.get("SHIM_DIR", os.path.join(REPO, "build", "firmware", "shim"))
DISTRIBUTION = "distro"  # the machine's own shim lives in \EFI\distro
DOWN = "\x1b[B"
ENTER = "\r"
# MokManager drops keys that come faster than it redraws: a key is sent only
# once the console has been quiet this long, however long the redraw took.
PAUSE = 1.0
# The volumes MokManager offers, by label: the machine's and the stick's.
VOLUME_LABELS = [label for *_, label in mkdisk.PARTITIONS if label] + [mkmedia.LABEL]


def signed_release(m):
    """A release for this architecture signed with a key made now: (stick, key, certificate)."""
    key, cert = key_pair(m.work_dir, "release")
    out = os.path.join(m.work_dir, "dist")
    subprocess.run([sys.executable, MKDIST, out, "--source", REPO, "--version", mkdeb.changelog_version(),
                    "--key", key, "--cert", cert, "--shim", SHIM_DIR, f"{m.arch}={m.program(m.app)}"],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(out, "addbootentry.img"), key, cert


def microsoft_machine(m, key, cert):
    """Microsoft's keys and Secure Boot on; on the machine's disk, a
    distribution's shim with the test loader, signed with the release's key,
    as its second stage, and nothing at the removable-media path (the stick
    must be what starts)."""
    m.target = harness.run_qemu.MICROSOFT_KEYS[m.arch]
    shutil.copyfile(m.target.store, m.vars)
    loader = os.path.join(m.work_dir, "grub.efi")
    subprocess.run([SIGN, key, cert, m.program("testloader.efi"), loader], check=True,
                   stdout=subprocess.DEVNULL)
    shim = os.path.join(SHIM_DIR, "root", "usr", "lib", "shim", f"shim{m.arch}.efi.signed")
    m.put_esp_files({f"EFI/{DISTRIBUTION}/shim{m.arch}.efi": shim,
                     f"EFI/{DISTRIBUTION}/grub{m.arch}.efi": loader})
    mkdisk.remove_file(m.disk, mkdisk.ESP, m.removable_boot)


def press(m, keys, then=None):
    m.quiet(PAUSE)
    m.send(keys)
    if then is not None:
        m.expect(then)


def screenshot(m, name):
    """Into the work folder, where the machine has a display (aa64)."""
    if m.qmp is not None:
        m.quiet(PAUSE)  # the display is drawn after the serial line
        m.qmp.screendump(os.path.join(m.work_dir, name))


def stick_position(m):
    """Where MokManager lists the stick among the volumes: first on x64,
    last on aa64."""
    m.expect(mkmedia.LABEL)
    m.quiet(PAUSE)  # the rest of the list
    shown = m.console[m.console.rindex(b"before Enrolling it"):]
    return sorted(VOLUME_LABELS, key=lambda label: shown.index(label.encode())).index(mkmedia.LABEL)


def enrol_from_stick(m):
    """MokManager, from its first screen to the reboot: the release's
    certificate from the stick, as the README tells users."""
    m.expect("Press any key to perform MOK management", timeout=harness.BOOT_TIMEOUT)
    # Its countdown redraws every second, so the screen never falls quiet: a
    # key goes as soon as the countdown runs, which is when it is read.
    m.expect_re(rb"Booting in \d+ seconds")
    m.send(" ")
    m.expect("Enroll key from disk")
    press(m, DOWN)
    press(m, ENTER)
    for _ in range(stick_position(m)):
        press(m, DOWN)
    press(m, ENTER, "addbootentry.cer")
    screenshot(m, "mokmanager-file.png")
    press(m, DOWN)
    press(m, ENTER, "Continue")
    press(m, DOWN)
    press(m, ENTER, "Enroll the key(s)?")
    screenshot(m, "mokmanager.png")
    press(m, DOWN)
    press(m, ENTER, "Reboot")
    press(m, ENTER)


def stick_enrols_the_key_and_the_entry_boots(m):
    stick, key_file, cert = signed_release(m)
    microsoft_machine(m, key_file, cert)
    m.boot(stick=stick, graphics=m.arch == "aa64")
    m.expect("Security Violation", timeout=harness.BOOT_TIMEOUT)
    press(m, ENTER, "Failed to load image")
    enrol_from_stick(m)
    assert BANNER.encode() not in m.console, "our image ran before its key was enrolled"
    m.expect_exit(0)

    m.boot(stick=stick)
    m.expect(BANNER, ATTR_BANNER, timeout=harness.BOOT_TIMEOUT)
    esp = expected.partition(m.geometry, 1)
    loader_path = rf"\EFI\{DISTRIBUTION}\shim{m.arch}.efi"
    size, name = create_entry(m, expected.hd_text(esp), "Distribution", loader_path)
    m.send("s")
    m.expect_exit(0)
    record = expected.load_option("Distribution", [expected.short_path(esp, loader_path)])
    assert size == len(record), size

    m.boot()  # the stick pulled
    m.expect(harness.ENTRY_STARTS["edk2"].format(number=int(name[4:], 16), description="Distribution"),
             timeout=harness.BOOT_TIMEOUT)
    loader_load_options(m)
    assert b"TESTLOADER: SecureBoot 01\r" in m.console, harness.plain(m.console)[-800:]
    m.expect_exit(0)


if __name__ == "__main__":
    harness.run([stick_enrols_the_key_and_the_entry_boots])
