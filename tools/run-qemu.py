#!/usr/bin/python3
"""Boot the demo disk under qemu-system-aarch64, console on this terminal.

EDK2 (Debian's AAVMF) is the default firmware; --firmware uboot boots U-Boot
on the same virtual machine; --firmware rpi boots U-Boot for the Raspberry Pi
(which tools/fetch-rpi-firmware.sh puts into the build folder) on an emulated
Raspberry Pi 3B, the demo disk as its SD card. The work folder keeps the disk
image and EDK2's writable variable store between runs, so boot entries made
in one run are there in the next; --fresh starts both anew. The EFI programs
on the ESP are refreshed from --efi-dir on every start. Quit with Ctrl-A X.

The end-to-end tests import this file and spawn the same command line.
"""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mkdisk  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EDK2_CODE = "/usr/share/AAVMF/AAVMF_CODE.fd"
EDK2_VARS = "/usr/share/AAVMF/AAVMF_VARS.fd"
UBOOT = "/usr/lib/u-boot/qemu_arm64/u-boot.bin"
RPI_FIRMWARE_DIR = os.path.join(REPO, "build", "firmware", "rpi")
RPI_UBOOT = os.path.join(RPI_FIRMWARE_DIR, "root", "usr", "lib", "u-boot", "rpi_3", "u-boot.bin")
FIRMWARES = ("edk2", "uboot", "rpi")
# Firmware that cannot power the machine off: ResetSystem(EfiResetShutdown)
# stops the board, and QEMU keeps running without a word.
HALTS_INSTEAD_OF_POWER_OFF = ("rpi",)


def paths(work_dir):
    """(disk image, EDK2 variable store) inside work_dir."""
    return os.path.join(work_dir, "disk.img"), os.path.join(work_dir, "AAVMF_VARS.fd")


def prepare(work_dir, efi_dir, fresh=False):
    """Make the disk and the variable store if missing (or fresh); returns paths().

    An existing disk is not rebuilt, only its programs are replaced: U-Boot
    keeps its variables in a file on that ESP.
    """
    os.makedirs(work_dir, exist_ok=True)
    disk, varstore = paths(work_dir)
    if fresh or not os.path.exists(disk):
        mkdisk.build(disk, efi_dir)
    else:
        mkdisk.put_files(disk, mkdisk.ESP, mkdisk.esp_programs(efi_dir))
    if fresh or not os.path.exists(varstore):
        shutil.copyfile(EDK2_VARS, varstore)
    return disk, varstore


def command(firmware, disk, varstore):
    """The QEMU command line. No device gets a bootindex: EDK2 would then
    rewrite BootOrder and prune the HD() entries that we create."""
    # signal=off: Ctrl-C goes to the guest instead of killing QEMU; mux=on makes
    # Ctrl-A the escape key of QEMU (Ctrl-A X quits).
    console = ["-nic", "none", "-display", "none", "-monitor", "none", "-no-reboot",
               "-chardev", "stdio,id=con0,signal=off,mux=on"]
    if firmware == "rpi":
        if not os.path.exists(RPI_UBOOT):
            sys.exit(f"no {RPI_UBOOT}: run tools/fetch-rpi-firmware.sh {RPI_FIRMWARE_DIR}")
        # The board's console is its second UART (the mini UART); the first
        # goes nowhere. An SD card must have a power-of-2 size.
        return ["qemu-system-aarch64", "-M", "raspi3b", "-kernel", RPI_UBOOT,
                "-drive", f"if=sd,format=raw,file={disk}"] + console + [
                "-serial", "null", "-serial", "chardev:con0"]
    cmd = ["qemu-system-aarch64", "-machine", "virt", "-cpu", "cortex-a57", "-m", "512"]
    if firmware == "edk2":
        cmd += ["-drive", f"if=pflash,format=raw,unit=0,file={EDK2_CODE},readonly=on",
                "-drive", f"if=pflash,format=raw,unit=1,file={varstore}"]
    elif firmware == "uboot":
        cmd += ["-bios", UBOOT]
    else:
        raise ValueError(f"unknown firmware {firmware!r}")
    return cmd + ["-drive", f"if=none,id=disk0,format=raw,file={disk}",
                  "-device", "virtio-blk-pci,drive=disk0"] + console + ["-serial", "chardev:con0"]


# A board's monitor and USB keyboard: EDK2 shows its console on the display
# as well as on the serial line and reads the USB keyboard as well. U-Boot's
# qemu_arm64 build has neither video nor a USB keyboard driver.
GRAPHICS = ["-device", "ramfb", "-device", "qemu-xhci", "-device", "usb-kbd"]
VNC = "127.0.0.1:0"

# Debian's U-Boot has no working driver for QEMU's XHCI controller; EHCI works.
USB_CONTROLLER = {"uboot": "usb-ehci"}


def removable(firmware, stick=None, cd=None):
    """A USB stick and a CD drive beside the machine's disk, as the release's
    stick image and ISO are used: the stick on a USB controller the firmware
    drives, the CD on virtio-scsi."""
    args = []
    if stick:
        args += ["-device", f"{USB_CONTROLLER.get(firmware, 'qemu-xhci')},id=usb",
                 "-drive", f"if=none,id=stick,format=raw,file={stick}",
                 "-device", "usb-storage,bus=usb.0,drive=stick"]
    if cd:
        args += ["-device", "virtio-scsi-pci,id=scsi",
                 "-drive", f"if=none,id=cd,format=raw,media=cdrom,readonly=on,file={cd}",
                 "-device", "scsi-cd,bus=scsi.0,drive=cd"]
    return args


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--firmware", choices=FIRMWARES, default="edk2")
    ap.add_argument("--efi-dir", default=os.path.join(REPO, "build", "efi", "aa64"))
    ap.add_argument("--work-dir", default=os.path.join(REPO, "build", "qemu"))
    ap.add_argument("--fresh", action="store_true",
                    help="new disk image and new variable store (forgets all boot entries)")
    ap.add_argument("--stick", metavar="IMAGE", help="a USB stick with this image (build/dist/addbootentry.img)")
    ap.add_argument("--cd", metavar="ISO", help="a CD with this image (build/dist/addbootentry.iso)")
    ap.add_argument("--graphics", action="store_true",
                    help=f"EDK2 only: a display and a USB keyboard as well, on VNC {VNC} (port 5900)")
    args = ap.parse_args()
    if args.graphics and args.firmware != "edk2":
        sys.exit("--graphics: U-Boot's qemu_arm64 build has no video and no USB keyboard")
    if not os.path.exists(os.path.join(args.efi_dir, mkdisk.ESP_PROGRAMS["EFI/BOOT/BOOTAA64.EFI"])):
        sys.exit(f"no application in {args.efi_dir}: build first (cmake --build build)")
    cmd = command(args.firmware, *prepare(args.work_dir, args.efi_dir, args.fresh))
    cmd += removable(args.firmware, args.stick, args.cd)
    if args.graphics:
        cmd += GRAPHICS + ["-vnc", VNC]
    os.execvp(cmd[0], cmd)


if __name__ == "__main__":
    main()
