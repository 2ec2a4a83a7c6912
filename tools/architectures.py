# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The table of architectures (cmake/architectures.json), which the build
reads as well: every tool and test takes an architecture's facts from here.

ARCHITECTURES: {suffix: that architecture's entry}, in the table's order.
"""
import json
import os

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake", "architectures.json")

with open(TABLE) as _f:
    ARCHITECTURES = {entry["suffix"]: entry for entry in json.load(_f)["architectures"]}


def pe_machine(suffix):
    """The PE machine type that this architecture's firmware loads."""
    return int(ARCHITECTURES[suffix]["pe"]["machine"], 16)


def debian(suffix):
    """The Debian architecture whose firmware runs this architecture's images."""
    return ARCHITECTURES[suffix]["debian"]


if __name__ == "__main__":
    # For shell scripts: `architectures.py shim` prints every shim package
    # the table names, one a line.
    import sys
    if sys.argv[1:] != ["shim"]:
        sys.exit("usage: architectures.py shim")
    for _package in (p for entry in ARCHITECTURES.values() for p in entry.get("shim", ())):
        print(_package)
