# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Driving our two test programs on the ESP (tests/efi): setvars.efi, which
writes variables from a command file and resets, and the test loader, which
prints the LoadOptions it was started with and powers off."""
import re

from harness import BOOT_TIMEOUT, ENTRY_STARTS

LOADER_PATH = r"\EFI\test\loader.efi"
OK = "0000000000000000"


def set_variables(m, variables):
    """Write {name: (attributes, data)} in EFI_GLOBAL_VARIABLE through the firmware.

    setvars.efi stands in for the application as the removable-media boot
    program for one boot, which the firmware starts on its own; the
    application is put back afterwards. Takes one boot of its own."""
    lines = "".join(f"{name} {attrs:X} {data.hex()}\n" for name, (attrs, data) in variables.items())
    m.put_esp_files({m.removable_boot: m.program("setvars.efi"), "EFI/test/setvars.txt": lines.encode()})
    m.boot()
    m.expect("SETVARS: started", timeout=BOOT_TIMEOUT)
    for name in variables:
        m.expect(f"SETVARS: {name} status {OK}")
    m.expect("SETVARS: end")
    m.expect_exit(0)
    m.put_esp_files({m.removable_boot: m.program(m.app)})


def loader_load_options(m, timeout=BOOT_TIMEOUT):
    """Wait for the test loader; return the LoadOptions bytes it reports."""
    m.expect("TESTLOADER: started", timeout=timeout)
    m.expect("TESTLOADER: end")
    report = m.qemu.before.decode("latin-1")
    size = int(re.search(r"TESTLOADER: LoadOptionsSize ([0-9A-F]{8})", report).group(1), 16)
    data = bytes.fromhex("".join(re.findall(r"TESTLOADER: LoadOptions ([0-9A-F]+)", report)))
    assert len(data) == size, f"loader printed {len(data)} of {size} bytes"
    return data


def boot_entry(m, number, description):
    """Boot so that the firmware starts Boot####; returns the LoadOptions that
    the test loader (its target) received. EDK2 would start its own disk entry
    first, so setvars.efi sets BootNext beforehand. U-Boot's boot manager goes
    by BootOrder before the removable-media path, so there the entry must come
    first in BootOrder; setvars.efi could not even run."""
    if m.family == "edk2":
        set_variables(m, {"BootNext": (7, number.to_bytes(2, "little"))})
    else:
        first = int.from_bytes(m.variables()["BootOrder"][2][:2], "little")
        assert first == number, f"Boot{number:04X} is not first in BootOrder"
    m.boot()
    m.expect(ENTRY_STARTS[m.family].format(number=number, description=description), timeout=BOOT_TIMEOUT)
    options = loader_load_options(m)
    m.expect_exit(0)
    return options
