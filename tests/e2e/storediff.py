# SPDX-License-Identifier: BSD-2-Clause-Patent
"""What a run changed among the firmware's boot variables. Other variables
(EDK2's monotonic counter MTC, for one) change on every boot and are ignored."""
import re

BOOT_VARIABLE = re.compile(r"^(Boot[0-9A-F]{4}|BootOrder|BootNext)$")


def boot_variables(store):
    """{name: (attributes, data)} of the boot entries, BootOrder and BootNext."""
    return {name: (attrs, data) for name, (_, attrs, data) in store.items() if BOOT_VARIABLE.match(name)}


def boot_changes(before, after):
    """{name: (old, new)} for every boot variable that differs; None where absent."""
    old, new = boot_variables(before), boot_variables(after)
    return {name: (old.get(name), new.get(name)) for name in sorted(set(old) | set(new))
            if old.get(name) != new.get(name)}


def order(numbers):
    """BootOrder data for a list of option numbers."""
    return b"".join(n.to_bytes(2, "little") for n in numbers)
