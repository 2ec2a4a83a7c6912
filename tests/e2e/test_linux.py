#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The Linux program in a Linux that the firmware starts with -kernel and
-initrd (Debian's kernel and busybox, fetched by tools/qemu/fetch-linux.sh),
driven on the serial console through the same roads as the firmware
application. The variables it writes must be the very bytes the firmware
application writes for the same disk and answers, and the firmware must
then start the entry. LINUX_PROGRAM names our program as it ships,
LINUX_ROOT the unpacked packages."""
import os
import time

import expected
import harness
import linux_initramfs
from dialogue import ATTR_BANNER, BANNER, Bvsrd, create_entry
from harness import BOOT_TIMEOUT
from linux_targets import LINUX_TARGETS
from storediff import boot_changes, boot_variables, order
from testprograms import LOADER_PATH, loader_load_options

PROGRAM, ROOT = os.environ.get("LINUX_PROGRAM"), os.environ.get("LINUX_ROOT")
VARIABLES = "/sys/firmware/efi/efivars/"
GLOBAL = "-8be4df61-93ca-11d2-aa0d-00e098032b8c"
# While Linux runs, a fresh store holds only the firmware's own Boot0000 (its
# menu), listed in BootOrder.
FIRMWARE_ORDER = [0]
# Under emulation on a busy machine a vCPU runs late: without no_timer_check
# the x86 kernel finds the timer interrupt missing at its IO-APIC check and
# panics; a stall of a few seconds would print RCU stall and soft-lockup
# warnings (errors, shown despite quiet) into the dialogue's console.
EMULATED = "no_timer_check rcupdate.rcu_cpu_stall_suppress=1 nowatchdog"


def uboot_shell(m, command):
    m.send(command + "\r")
    m.expect(harness.UBOOT_PROMPT)


def start_through_uboot(m, kernel, initrd, append):
    """U-Boot would start the kernel from QEMU with booti, outside UEFI: at
    its prompt (where the boot left it) it starts the kernel with bootefi instead,
    the initramfs named in the device tree, the command line in bootargs."""
    for command in ("qfw load $kernel_addr_r $ramdisk_addr_r", "fdt addr $fdtcontroladdr", "fdt resize",
                    f"fdt chosen $ramdisk_addr_r {os.path.getsize(initrd):x}", f"setenv bootargs {append}"):
        uboot_shell(m, command)
    m.send(f"bootefi $kernel_addr_r:{os.path.getsize(kernel):x} $fdtcontroladdr\r")


def start_linux(m, mount_esp, run="/sbin/addbootentry"):
    """Boot Linux up to the program's start; with mount_esp the ESP is
    mounted at /boot/efi first, as on an installed system. /init runs the
    command run on the console, then keeps a shell there."""
    target = LINUX_TARGETS[m.arch]
    initrd = os.path.join(m.work_dir, "initrd.cpio")
    linux_initramfs.build(initrd, ROOT, PROGRAM, target.triple, target.modules, target.disk, run)
    append = f"console={target.console} quiet {EMULATED}" + (" mountesp=1" if mount_esp else "")
    started = time.monotonic()
    kernel = linux_initramfs.kernel(ROOT)
    m.boot(extra=["-kernel", kernel, "-initrd", initrd, "-append", append], shell=True)
    if m.family == "uboot":
        start_through_uboot(m, kernel, initrd, append)
    m.expect("INIT: ready", timeout=BOOT_TIMEOUT)
    print(f"{m.arch} {m.firmware}: Linux ready after {time.monotonic() - started:.1f} s", flush=True)


def end_linux(m, exit_status=0, commands=""):
    """The program's end, then commands in the shell that /init keeps, and
    power off. The shell's answer to the last command is not its echo.
    exit_status None: the program's end was already read."""
    if exit_status is not None:
        m.expect(f"INIT: addbootentry exit status {exit_status}")
    m.send(commands + "echo INIT: shell $((1 + 1))\r")
    m.expect("INIT: shell 2")
    m.send("poweroff -f\r")
    if m.family == "uboot":
        # Linux powers off through U-Boot's runtime services, which stop the
        # machine without switching it off.
        m.expect("reboot: Power down")
        m.stop()
    else:
        m.expect_exit(0)


def linux_entry(m, record, description, mount_esp, bvsrd=None, commands=""):
    """A run that creates the entry from Linux; returns its number once the
    store is checked: the record, and BootOrder with the number at its end."""
    start_linux(m, mount_esp)
    m.expect(BANNER, ATTR_BANNER)
    esp = expected.partition(m.geometry, 1)
    size, name = create_entry(m, expected.hd_text(esp), description, LOADER_PATH, bvsrd)
    assert size == len(record), f"record of {size:#x} bytes, expected {len(record):#x}"
    number = int(name[4:], 16)
    # `s` does not power the machine off: the program ends and the shell goes on.
    m.send("s")
    end_linux(m, 0, commands.format(number=number))
    store = boot_variables(m.variables())
    assert store[name] == (7, record), store[name][1].hex()
    assert store["BootOrder"] == (7, order(FIRMWARE_ORDER + [number])), store["BootOrder"]
    return number, store


def typical_entry_starts(m):
    # BootNext is set by hand, as a test step: the firmware would start its
    # own disk entry first.
    esp = expected.partition(m.geometry, 1)
    record = expected.load_option("Probe", [expected.short_path(esp, LOADER_PATH)])
    set_next = ("printf '\\007\\000\\000\\000\\{number:03o}\\000' > " + VARIABLES + "BootNext" + GLOBAL + "; ")
    number, store = linux_entry(m, record, "Probe", True, commands=set_next)
    assert store["BootNext"] == (7, number.to_bytes(2, "little")), store["BootNext"]
    m.boot()
    m.expect(f'BdsDxe: starting Boot{number:04X} "Probe" from {expected.hd_text(esp)}/{LOADER_PATH}',
             timeout=BOOT_TIMEOUT)
    assert loader_load_options(m) == b""
    m.expect_exit(0)


def bvsrd_entry_with_esp_unmounted(m):
    # The program mounts the ESP itself for the loader check, and leaves
    # neither the mount nor its folder behind.
    esp, raw = expected.partition(m.geometry, 1), expected.partition(m.geometry, 3)
    record = expected.bvsrd_option("OS on raw", expected.short_path(esp, LOADER_PATH),
                                   expected.short_path(raw, "Ixo"), "WFS", True)
    linux_entry(m, record, "OS on raw", False, Bvsrd(expected.hd_text(raw), "WFS", True),
                commands="echo LEFT $(ls /tmp | wc -l) $(grep -c vfat /proc/mounts); ")
    assert "LEFT 0 0" in harness.plain(m.console), "a temporary mount was left behind"


def refused_where_firmware_keeps_variables(m):
    # U-Boot lets Linux read its variables but write none: one line, before
    # any question, and the store as it was.
    before = m.variables()
    start_linux(m, False)
    m.expect("addbootentry: this firmware keeps its variables for itself (efivarfs is read-only, as under "
             "U-Boot); make the entry with the firmware application addbootentry<arch>.efi started from "
             "the firmware.")
    end_linux(m, 1, "echo BOOT VARIABLES $(ls " + VARIABLES + " | grep -c ^Boot); ")
    assert "BOOT VARIABLES 0\r" in harness.plain(m.console), "efivarfs holds a boot variable"
    assert BANNER not in harness.plain(m.console), "the dialogue began"
    assert boot_changes(before, m.variables()) == {}, "a refused run changed variables"


if __name__ == "__main__":
    harness.run([typical_entry_starts, bvsrd_entry_with_esp_unmounted, refused_where_firmware_keeps_variables])
