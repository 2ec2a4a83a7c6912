#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The Linux program's facts of each architecture, from the table of
architectures (cmake/architectures.json, its "linux" and "debian" entries):
the Debian architecture (its kernel and busybox packages, its cross C
library), the compiler's target triple, the serial console's name, and the
kernel modules to load, in order (the .deb has no modules.dep).

`linux_targets.py ARCH FIELD` prints one field, for shell scripts;
`linux_targets.py` alone, the architectures.
"""
import os
import sys
from typing import NamedTuple, Tuple

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import architectures  # noqa: E402


class LinuxTarget(NamedTuple):
    debian: str               # Debian's name of the architecture
    triple: str               # clang --target, and the cross C library's folder
    console: str              # the kernel's name of QEMU's first serial port
    disk: str                 # the kernel's name of the demo disk on EDK2's machine
    modules: Tuple[str, ...]  # the disk's driver, then efivarfs and FAT


LINUX_TARGETS = {suffix: LinuxTarget(arch["debian"], arch["linux"]["triple"], arch["linux"]["console"],
                                     arch["linux"]["disk"], tuple(arch["linux"]["modules"]))
                 for suffix, arch in architectures.ARCHITECTURES.items() if "linux" in arch}


if __name__ == "__main__":
    if len(sys.argv) == 1:
        print(";".join(LINUX_TARGETS))
    else:
        value = getattr(LINUX_TARGETS[sys.argv[1]], sys.argv[2])
        print(" ".join(value) if isinstance(value, tuple) else value)
