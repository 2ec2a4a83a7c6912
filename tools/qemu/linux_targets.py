#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Every per-architecture fact of the Linux program and its end-to-end tests,
in one table: the Debian architecture (its kernel and busybox packages, its
cross C library), the compiler's target triple, the serial console's name,
and the kernel modules to load, in order (the .deb has no modules.dep).

`linux_targets.py ARCH FIELD` prints one field, for shell scripts and CMake;
`linux_targets.py` alone, the architectures.
"""
import sys
from typing import NamedTuple, Tuple

# Both firmware families' FAT volumes, and the variables.
_COMMON_MODULES = ("efivarfs", "fat", "vfat", "nls_cp437", "nls_ascii")


class LinuxTarget(NamedTuple):
    debian: str               # Debian's name of the architecture
    triple: str               # clang --target, and the cross C library's folder
    console: str              # the kernel's name of QEMU's first serial port
    disk: str                 # the kernel's name of the demo disk on EDK2's machine
    modules: Tuple[str, ...]  # the disk's driver, then the common ones


LINUX_TARGETS = {
    # q35's disk is on AHCI, which is modular in Debian's amd64 kernel.
    "x64": LinuxTarget("amd64", "x86_64-linux-gnu", "ttyS0", "sda",
                       ("scsi_common", "scsi_mod", "crc64", "crc64-rocksoft", "crct10dif_common",
                        "crc-t10dif", "t10-pi", "sd_mod", "libata", "libahci", "ahci") + _COMMON_MODULES),
    # The virt board's disk is on virtio-blk over PCI, modular in Debian's
    # arm64 kernel as well (6.1.0-57; the virtio core is built in).
    "aa64": LinuxTarget("arm64", "aarch64-linux-gnu", "ttyAMA0", "vda",
                        ("virtio_pci_legacy_dev", "virtio_pci_modern_dev", "virtio_pci", "virtio_blk")
                        + _COMMON_MODULES),
}


if __name__ == "__main__":
    if len(sys.argv) == 1:
        print(";".join(LINUX_TARGETS))
    else:
        value = getattr(LINUX_TARGETS[sys.argv[1]], sys.argv[2])
        print(" ".join(value) if isinstance(value, tuple) else value)
