#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Boot the demo disk under QEMU, console on this terminal.

--arch picks the architecture (aa64, the default, x64, ia32, arm, riscv64),
--firmware the firmware family: EDK2 (Debian's AAVMF / OVMF) where it exists,
else U-Boot; uboot boots U-Boot on the same virtual machine; rpi (aa64 only)
boots U-Boot for the Raspberry Pi (which tools/qemu/fetch-rpi-firmware.sh puts into
the build folder) on an emulated Raspberry Pi 3B, the demo disk as its SD
card. The work folder keeps the disk image and each EDK2's writable variable
store between runs, so boot entries made in one run are there in the next;
--fresh starts both anew. The EFI programs on the ESP are refreshed from
--efi-dir on every start. Quit with Ctrl-A X.

The machines and their firmware are those of the table of architectures
(cmake/architectures.json). The end-to-end tests import this file and spawn
the same command line.
"""
import argparse
import os
import shutil
import sys
from typing import NamedTuple, Tuple

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.dirname(HERE))
import mkdisk  # noqa: E402
from architectures import ARCHITECTURES as TABLE  # noqa: E402

REPO = os.path.dirname(os.path.dirname(HERE))


class Target(NamedTuple):
    """How QEMU runs one firmware of one architecture. {disk} and {vars} in
    the options stand for the disk image and the work folder's copy of store."""
    machine: Tuple[str, ...]      # emulator, board, CPU, memory
    firmware: Tuple[str, ...]     # options that load the firmware
    family: str                   # "edk2" or "uboot": what it prints and where it keeps variables
    bus: str                      # what the disk sits on: a key of DISK_BUSES
    store: str = None             # EDK2's variable store as shipped, copied into the work folder
    serial: Tuple[str, ...] = ("-serial", "chardev:con0")
    # ResetSystem(EfiResetShutdown) stops the CPU without switching the
    # machine off: QEMU keeps running without a word.
    halts: bool = False
    fetch: str = None             # firmware that is not a Debian package: how to get it

    @property
    def disk(self):
        return DISK_BUSES[self.bus]


# OVMF's Secure Boot builds keep their variable store in SMM, behind a flash
# that only SMM may write; without SMM they print nothing and hang.
SMM = ("-machine", "smm=on")
SECURE_FLASH = ("-global", "driver=cfi.pflash01,property=secure,value=on")
DISK_BUSES = {
    "virtio": ("-drive", "if=none,id=disk0,format=raw,file={disk}", "-device", "virtio-blk-pci,drive=disk0"),
    # A PC's disk: on q35's own AHCI controller.
    "ahci": ("-drive", "if=none,id=disk0,format=raw,file={disk}", "-device", "ide-hd,drive=disk0,bus=ide.0"),
    # An SD card must have a power-of-2 size.
    "sd": ("-drive", "if=sd,format=raw,file={disk}"),
}


def _firmware_file(path):
    """Debian's firmware by its absolute path; fetched firmware below the tree."""
    return os.path.join(REPO, path)


def _target(arch, facts):
    """The Target of one firmware entry of the table (facts) on architecture arch."""
    machine = (arch["qemu"]["system"],) + tuple(facts.get("machine", arch["qemu"]["machine"]))
    secure_flash = SECURE_FLASH if facts.get("smm") else ()
    if facts["family"] == "edk2":
        options = ("-drive", f"if=pflash,format=raw,unit=0,file={facts['code']},readonly=on",
                   "-drive", "if=pflash,format=raw,unit=1,file={vars}") + secure_flash
    else:
        options = tuple(option for name in ("bios", "kernel") if name in facts
                        for option in (f"-{name}", _firmware_file(facts[name])))
    return Target(machine + (SMM if facts.get("smm") else ()), options, facts["family"],
                  facts.get("disk", arch["qemu"]["disk"]), facts.get("vars"),
                  serial=("-serial", "null") * facts.get("console_uart", 0) + ("-serial", "chardev:con0"),
                  halts=facts.get("halts", False), fetch=facts.get("fetch"))


TARGETS = {(suffix, firmware): _target(arch, facts)
           for suffix, arch in TABLE.items() for firmware, facts in arch["firmware"].items()}
ARCHITECTURES = tuple(TABLE)  # aa64 first: the default
FIRMWARES = tuple(dict.fromkeys(firmware for _, firmware in TARGETS))

# EDK2 with Secure Boot on where the table has it, and the test key pair
# (PkKek-1-snakeoil: .key, .pem) enrolled in its store.
SECURE_BOOT = {suffix: _target(arch, {**arch["firmware"]["edk2"], **arch["firmware"]["edk2"]["secure_boot"]})
               for suffix, arch in TABLE.items() if "secure_boot" in arch["firmware"].get("edk2", {})}
SECURE_BOOT_KEYS = {suffix: TABLE[suffix]["firmware"]["edk2"]["secure_boot"]["key"] for suffix in SECURE_BOOT}
# EDK2 with only Microsoft's keys enrolled and Secure Boot on, as PCs ship.
MICROSOFT_KEYS = {suffix: _target(arch, {**arch["firmware"]["edk2"], **arch["firmware"]["edk2"]["microsoft_keys"]})
                  for suffix, arch in TABLE.items() if "microsoft_keys" in arch["firmware"].get("edk2", {})}


def missing_firmware(chosen):
    """The file of fetched firmware that is not there yet, or None."""
    return next((o for o in chosen.firmware if o.startswith(REPO) and not os.path.exists(o)), None)


def target(arch, firmware=None):
    """The Target of this pair; without a firmware, EDK2 where Debian has it.
    Exits with a message naming what exists when the pair does not."""
    offered = [f for a, f in TARGETS if a == arch]
    if not offered:
        sys.exit(f"unknown architecture {arch!r}: one of {', '.join(ARCHITECTURES)}")
    firmware = firmware or offered[0]
    if (arch, firmware) not in TARGETS:
        sys.exit(f"--firmware {firmware}: none for {arch}; Debian 12 has {' and '.join(offered)} for {arch}")
    return TARGETS[arch, firmware]


def paths(work_dir, chosen):
    """(disk image, this firmware's variable store or None) inside work_dir."""
    store = chosen.store and os.path.join(work_dir, os.path.basename(chosen.store))
    return os.path.join(work_dir, "disk.img"), store


def prepare(work_dir, efi_dir, arch, chosen, fresh=False):
    """Make the disk and the variable store if missing (or fresh); returns paths().

    An existing disk is not rebuilt, only its programs are replaced: U-Boot
    keeps its variables in a file on that ESP.
    """
    os.makedirs(work_dir, exist_ok=True)
    disk, store = paths(work_dir, chosen)
    if fresh or not os.path.exists(disk):
        mkdisk.build(disk, efi_dir, arch)
    else:
        mkdisk.put_files(disk, mkdisk.ESP, mkdisk.esp_programs(efi_dir, arch))
    if store and (fresh or not os.path.exists(store)):
        shutil.copyfile(chosen.store, store)
    return disk, store


def command(chosen, disk, store):
    """The QEMU command line. No device gets a bootindex: EDK2 would then
    rewrite BootOrder and prune the HD() entries that we create."""
    if missing_firmware(chosen):
        sys.exit(f"no {missing_firmware(chosen)}: run {chosen.fetch}")
    # signal=off: Ctrl-C goes to the guest instead of killing QEMU; mux=on makes
    # Ctrl-A the escape key of QEMU (Ctrl-A X quits).
    console = ("-nic", "none", "-display", "none", "-monitor", "none", "-no-reboot",
               "-chardev", "stdio,id=con0,signal=off,mux=on")
    options = chosen.machine + chosen.firmware + chosen.disk + console + chosen.serial
    return [o.format(disk=disk, vars=store) for o in options]


# A board's monitor and USB keyboard: EDK2 shows its console on the display
# as well as on the serial line and reads the USB keyboard as well. U-Boot's
# qemu_arm64 build has neither video nor a USB keyboard driver.
GRAPHICS = ["-device", "ramfb", "-device", "qemu-xhci", "-device", "usb-kbd"]
VNC = "127.0.0.1:0"

# Debian's U-Boot has no working driver for QEMU's XHCI controller; EHCI works.
USB_CONTROLLER = {"uboot": "usb-ehci"}


def removable(chosen, stick=None, cd=None):
    """A USB stick and a CD drive beside the machine's disk, as the release's
    stick image and ISO are used: the stick on a USB controller the firmware
    drives, the CD on virtio-scsi."""
    args = []
    if stick:
        args += ["-device", f"{USB_CONTROLLER.get(chosen.family, 'qemu-xhci')},id=usb",
                 "-drive", f"if=none,id=stick,format=raw,file={stick}",
                 "-device", "usb-storage,bus=usb.0,drive=stick"]
    if cd:
        args += ["-device", "virtio-scsi-pci,id=scsi",
                 "-drive", f"if=none,id=cd,format=raw,media=cdrom,readonly=on,file={cd}",
                 "-device", "scsi-cd,bus=scsi.0,drive=cd"]
    return args


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--arch", choices=ARCHITECTURES, default="aa64")
    ap.add_argument("--firmware", choices=FIRMWARES,
                    help="edk2 (where it exists, the default), uboot, or rpi (aa64 only)")
    ap.add_argument("--efi-dir", help="where the built programs are (default build/efi/ARCH)")
    ap.add_argument("--work-dir", help="keeps the disk and the variable stores (default build/qemu/ARCH)")
    ap.add_argument("--fresh", action="store_true",
                    help="new disk image and new variable store (forgets all boot entries)")
    ap.add_argument("--stick", metavar="IMAGE", help="a USB stick with this image (build/dist/addbootentry.img)")
    ap.add_argument("--cd", metavar="ISO", help="a CD with this image (build/dist/addbootentry.iso)")
    ap.add_argument("--graphics", action="store_true",
                    help=f"aa64 EDK2 only: a display and a USB keyboard as well, on VNC {VNC} (port 5900)")
    args = ap.parse_args()
    chosen = target(args.arch, args.firmware)
    if args.graphics and (args.arch, chosen.family) != ("aa64", "edk2"):
        sys.exit("--graphics: only with aa64 EDK2 (U-Boot's qemu_arm64 build has no video and no USB keyboard)")
    efi_dir = args.efi_dir or os.path.join(REPO, "build", "efi", args.arch)
    work_dir = args.work_dir or os.path.join(REPO, "build", "qemu", args.arch)
    if not os.path.exists(os.path.join(efi_dir, mkdisk.app_name(args.arch))):
        sys.exit(f"no {mkdisk.app_name(args.arch)} in {efi_dir}: build first (cmake --build build)")
    cmd = command(chosen, *prepare(work_dir, efi_dir, args.arch, chosen, args.fresh))
    cmd += removable(chosen, args.stick, args.cd)
    if args.graphics:
        cmd += GRAPHICS + ["-vnc", VNC]
    os.execvp(cmd[0], cmd)


if __name__ == "__main__":
    main()
