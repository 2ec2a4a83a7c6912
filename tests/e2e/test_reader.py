#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The store reader and load option decoder that the end-to-end tests judge
the application with, on records built by hand from the UEFI layouts. A
checker that cannot tell the BVSRD placements apart, or that takes any
optional data for a BVSRD, would pass a wrong application."""
import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "qemu"))
import expected  # noqa: E402
import varstore  # noqa: E402
from loadoption import decode_load_option  # noqa: E402

ESP = {"number": 1, "start": 0x800, "size": 0x10000, "guid": "c0de0001-e5b0-4a1e-8d1a-0123456789ab"}
RAW = {"number": 3, "start": 0x18800, "size": 0x4000, "guid": "c0de0003-5a7e-4c3d-af10-0123456789ad"}
LOADER = expected.short_path(ESP, r"\EFI\test\loader.efi")
ROOT = expected.short_path(RAW, "Ixo")
LOADER_TEXT = r"HD(1,GPT,C0DE0001-E5B0-4A1E-8D1A-0123456789AB,0x800,0x10000)/\EFI\test\loader.efi"
ROOT_TEXT = "HD(3,GPT,C0DE0003-5A7E-4C3D-AF10-0123456789AD,0x18800,0x4000)/Ixo"
# EDK2's own entry for the disk, as its first boot writes it: 16 bytes of
# optional data (a GUID) that must not pass for a BVSRD.
EDK2_DISK_ENTRY = bytes.fromhex(
    "01000000 1600 55004500460049002000 4d00690073006300 2000 44006500760069006300650000 00"
    "02010c00 d041030a 00000000 01010600 0001 7fff0400 4eac0881119f594d850ee21a522c59b2")


class BvsrdPlacement(unittest.TestCase):
    def test_placements_share_bytes_and_differ_in_list_length(self):
        as_data = expected.bvsrd_option("OS", LOADER, ROOT, "KFS", as_file_path=False)
        as_path = expected.bvsrd_option("OS", LOADER, ROOT, "KFS", as_file_path=True)
        self.assertEqual(as_data[6:], as_path[6:])
        data, path = decode_load_option(as_data), decode_load_option(as_path)
        self.assertEqual((data["file_path_list_length"], path["file_path_list_length"]),
                         (len(LOADER), len(LOADER) + len(ROOT)))
        self.assertEqual(data["file_paths"], [LOADER_TEXT])
        self.assertEqual(path["file_paths"], [LOADER_TEXT, ROOT_TEXT])
        self.assertEqual(data["optional_data"], ROOT + b"\x00\x20")
        self.assertEqual(path["optional_data"], b"\x00\x20")
        for decoded, placement in ((data, "OptionalData"), (path, "FilePathList[1]")):
            self.assertEqual(decoded["bvsrd"]["placement"], placement)
            self.assertEqual(decoded["bvsrd"]["path"], ROOT_TEXT)

    def test_every_fs_type_code(self):
        for name, code in expected.FS_TYPE.items():
            record = expected.bvsrd_option("OS", LOADER, ROOT, name, as_file_path=False)
            self.assertEqual(record[-2:], struct.pack("<H", code))
            self.assertEqual(decode_load_option(record)["bvsrd"]["fs_type"], name)

    def test_record_without_bvsrd(self):
        record = expected.load_option("Unnamed", [LOADER])
        self.assertEqual(record[:6], bytes([1, 0, 0, 0, len(LOADER), 0]))
        decoded = decode_load_option(record)
        self.assertEqual((decoded["description"], decoded["optional_data"], decoded["bvsrd"]),
                         ("Unnamed", b"", None))


class MbrDisk(unittest.TestCase):
    def test_partition_node_carries_the_disk_signature(self):
        esp = {"number": 1, "start": 0x800, "size": 0x10000, "table": "mbr", "signature": 0x5EC0B007}
        node = expected.hd_node(esp)
        self.assertEqual(node[24:42], bytes.fromhex("07b0c05e") + bytes(12) + bytes([1, 1]))
        decoded = decode_load_option(expected.load_option("x", [expected.short_path(esp, "Ixo")]))
        self.assertEqual(decoded["file_paths"], ["HD(1,MBR,0x5EC0B007,0x800,0x10000)/Ixo"])
        self.assertEqual(expected.hd_text(esp), "HD(1,MBR,0x5EC0B007,0x800,0x10000)")


class NotABvsrd(unittest.TestCase):
    def test_edk2_entry_with_guid_data(self):
        decoded = decode_load_option(EDK2_DISK_ENTRY)
        self.assertEqual(decoded["file_paths"], ["PciRoot(0x0)/Pci(0x1,0x0)"])
        self.assertEqual(len(decoded["optional_data"]), 16)
        self.assertIsNone(decoded["bvsrd"])

    def test_code_with_bits_outside_13_and_14(self):
        record = expected.load_option("OS", [LOADER], ROOT + struct.pack("<H", 0x2001))
        self.assertIsNone(decode_load_option(record)["bvsrd"])


class BrokenRecords(unittest.TestCase):
    def test_each_is_refused(self):
        short_node = LOADER[:2] + b"\x02\x00" + LOADER[4:]
        cases = {"description without NUL": b"\x01\0\0\0\x04\0" + "ab".encode("utf-16-le"),
                 "node shorter than its header": expected.load_option("x", [short_node]),
                 "list length past the data": expected.load_option("x", [LOADER])[:-2]}
        for what, record in cases.items():
            with self.subTest(what), self.assertRaises(ValueError):
                decode_load_option(record)


class Efivarfs(unittest.TestCase):
    def test_file_and_folder(self):
        with tempfile.TemporaryDirectory() as folder:
            vendor = "eb704011-1402-11d3-8e77-00a0c969723b"
            for name, guid, data in (("Boot0003", varstore.GLOBAL, LOADER), ("MTC", vendor, b"\1\0\0\0")):
                with open(os.path.join(folder, f"{name}-{guid}"), "wb") as f:
                    f.write(struct.pack("<I", 7) + data)
            single = varstore.read_store(os.path.join(folder, f"Boot0003-{varstore.GLOBAL}"))
            self.assertEqual(single, {"Boot0003": (varstore.GLOBAL, 7, LOADER)})
            self.assertEqual(set(varstore.read_store(folder)), {"Boot0003", f"MTC-{vendor}"})


if __name__ == "__main__":
    unittest.main()
