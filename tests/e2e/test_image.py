#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The images' fitness for strict and Secure Boot firmware, without QEMU: the
build check must refuse an image that strict firmware refuses, on every
architecture; tools/build/elf_to_pe.py must turn the RISC-V ELF into the very image
of the build and refuse, naming the fault and writing nothing, a broken
ELF; tools/release/sign-efi.sh must sign with a matching key and certificate and
refuse, naming the fault, anything else."""
import argparse
import base64
import os
import stat
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(REPO, "tools"))
from architectures import ARCHITECTURES as TABLE  # noqa: E402
SIGN = os.path.join(REPO, "tools", "release", "sign-efi.sh")
ELF_TO_PE = os.path.join(REPO, "tools", "build", "elf_to_pe.py")


def section_header(data, pe, name):
    """Offset of the section header of that name."""
    count, _, _, _, optional_size = struct.unpack_from("<HIIIH", data, pe + 6)
    table = pe + 24 + optional_size
    return next(table + 40 * i for i in range(count)
                if data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0") == name)


def doctored(image, field, set_bits, clear_bits):
    """A copy of the image with bits of one header field set and cleared, and
    the field's value before."""
    data = bytearray(image)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    directories = pe + 24 + (112 if struct.unpack_from("<H", data, pe + 24)[0] == 0x20B else 96)
    offset, width = {"machine": (pe + 4, "<H"),
                     "characteristics": (pe + 22, "<H"),       # file header
                     "dll": (pe + 24 + 70, "<H"),              # DllCharacteristics, PE32(+)
                     "relocations": (directories + 5 * 8 + 4, "<I"),  # base relocations' size
                     "first_section": (pe + 24 + optional_size + 36, "<I"),
                     # .data's VirtualAddress; its SizeOfRawData and PointerToRawData
                     "data_address": (section_header(data, pe, b".data") + 12, "<I"),
                     "data_raw": (section_header(data, pe, b".data") + 16, "<Q"),
                     "sbat_name": (section_header(data, pe, b".sbat"), "<Q")}[field]
    value = struct.unpack_from(width, data, offset)[0]
    struct.pack_into(width, data, offset, (value | set_bits) & ~clear_bits)
    return bytes(data), value


# (header field, bits set, bits cleared, error of the check; None: it passes;
# a function: the error for the field's value before)
CHECK_CASES = [
    ("dll", 0, 0, None),
    ("dll", 0, 0x100, "NX_COMPAT"),
    ("dll", 0, 0x40, "DYNAMIC_BASE"),
    ("first_section", 0x80000000, 0, ".text is both writable and executable"),
    ("characteristics", 0x0001, 0, "relocations are stripped"),
    # What shim's loader refuses: .data as lld-link gave it when all zeroes
    # (no file bytes, file position 0, yet initialised data), file bytes past
    # the end, a section off its page.
    ("data_raw", 0, 2**64 - 1, "file bytes of section .data (0 at 0) are inside the headers"),
    ("data_raw", 0x100000, 0, lambda raw: f"section .data ({(raw & 0xFFFFFFFF) | 0x100000} at"),
    ("data_address", 0x200, 0, "section .data at"),
    # Shim refuses an image without .sbat like one with an unknown key:
    # ".sbat" renamed ".sbap".
    ("sbat_name", 0, 0x04 << 32, "no .sbat section starting with sbat,1,"),
]


def arch_cases(arch):
    """What each architecture adds: the machine type its firmware loads,
    refused when the image has another (the one the linker wrote where the
    build changes it, as on 32-bit Arm, else another architecture's), and
    where the code holds absolute addresses, base relocations."""
    facts = TABLE[arch]
    machine = facts["pe"]["machine"]
    others = [a["pe"]["machine"] for a in TABLE.values() if a["pe"]["machine"] != machine]
    wrong = int(facts["linker"].get("writes_machine", others[0]), 16)
    cases = [("machine", wrong, 0xFFFF & ~wrong, f"machine type {machine} ({arch})")]
    if facts["pe"]["base_relocations"]:
        cases.append(("relocations", 0, 0xFFFFFFFF, "absolute addresses but it has no base relocations"))
    return cases


def image_of(efi_dir, arch):
    return os.path.join(efi_dir, arch, f"addbootentry{arch}.efi")


def check_refuses_unfit_images(efi_dir, architectures, work):
    for arch in architectures:
        image = open(image_of(efi_dir, arch), "rb").read()
        for field, set_bits, clear_bits, error in CHECK_CASES + arch_cases(arch):
            path = os.path.join(work, "checked.efi")
            changed, before = doctored(image, field, set_bits, clear_bits)
            with open(path, "wb") as f:
                f.write(changed)
            if callable(error):
                error = error(before)
            result = subprocess.run(["cmake", f"-DEFI_FILE={path}", f"-DEFI_ARCH={arch}", "-P",
                                     os.path.join(REPO, "cmake", "check-efi.cmake")],
                                    capture_output=True, text=True)
            message = " ".join(result.stderr.split())
            if error is None:
                assert result.returncode == 0, (arch, message)
            else:
                assert result.returncode != 0 and error in message, (arch, field, error, message)


def elf_section_offset(elf, name):
    """File offset of a section, found by its name in the section headers."""
    shoff, = struct.unpack_from("<Q", elf, 0x28)
    entry_size, count, names = struct.unpack_from("<HHH", elf, 0x3A)
    headers = [struct.unpack_from("<IIQQQ", elf, shoff + i * entry_size) for i in range(count)]
    strings = headers[names][4]
    return next(offset for name_at, _, _, _, offset in headers
                if elf[strings + name_at:].split(b"\0", 1)[0] == name.encode())


def elf_doctored(elf, offset, value, width="<H"):
    data = bytearray(elf)
    struct.pack_into(width, data, offset, value)
    return bytes(data)


def elf_to_pe_converts_and_refuses(efi_dir, architectures, work):
    if "riscv64" not in architectures:
        return
    elf = open(os.path.join(efi_dir, "riscv64", "addbootentryriscv64.elf"), "rb").read()
    image = open(image_of(efi_dir, "riscv64"), "rb").read()
    first_relocation = elf_section_offset(elf, ".rela.dyn")
    cases = [  # (input, error; None: it must give the build's image)
        (elf, None),
        (image, "not an ELF file"),
        (elf[:0x30], "truncated: the ELF header"),
        (elf[:0x1100], "truncated: segment 0"),
        (elf_doctored(elf, 0x12, 62), "not a position-independent RISC-V ELF"),
        (elf_doctored(elf, first_relocation + 8, 2, "<Q"),
         "has type 2: only R_RISCV_RELATIVE"),
    ]
    source, target = os.path.join(work, "in.elf"), os.path.join(work, "out.efi")
    for data, error in cases:
        with open(source, "wb") as f:
            f.write(data)
        with open(target, "wb") as f:
            f.write(b"left from an earlier build")
        result = subprocess.run([sys.executable, ELF_TO_PE, source, target],
                                capture_output=True, text=True)
        if error is None:
            assert result.returncode == 0, result.stderr
            assert open(target, "rb").read() == image, "the conversion differs from the build's"
        else:
            assert result.returncode != 0 and error in result.stderr, (error, result.stderr)
            assert not os.path.exists(target), f"an image was left behind: {error}"


def key_pair(work, name):
    key, cert = os.path.join(work, name + ".key"), os.path.join(work, name + ".crt")
    subprocess.run(["openssl", "req", "-new", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", f"/CN={name}/", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    return key, cert


def fake_sbsign(work):
    """A folder whose sbsign copies the image without signing it."""
    folder = os.path.join(work, "fake")
    os.makedirs(folder)
    path = os.path.join(folder, "sbsign")
    with open(path, "w") as f:
        f.write('#!/bin/sh\nwhile [ $# -gt 1 ]; do [ "$1" = --output ] && out=$2; shift; done\n'
                'cp "$1" "$out"\n')
    os.chmod(path, stat.S_IRWXU)
    return folder


def sign_efi_signs_and_refuses(efi_dir, architectures, work):
    image = image_of(efi_dir, "aa64")
    key, cert = key_pair(work, "db")
    other_key, _ = key_pair(work, "other")
    unsigning = dict(os.environ, PATH=fake_sbsign(work) + os.pathsep + os.environ["PATH"])
    cases = [  # (key, certificate, environment, error; None: it must sign)
        (key, cert, None, None),
        (other_key, cert, None, f"{other_key} is not the private key of {cert}"),
        (cert, cert, None, f"{cert} is not a PEM private key"),
        (key, key, None, f"{key} is not a PEM X.509 certificate"),
        (key, cert, unsigning, f"does not verify against {cert}"),
    ]
    for key_file, cert_file, env, error in cases:
        signed = os.path.join(work, "out", "app.efi")
        if os.path.exists(signed):
            os.remove(signed)
        result = subprocess.run([SIGN, key_file, cert_file, image, signed],
                                capture_output=True, text=True, env=env)
        if error is not None:
            assert result.returncode != 0 and error in result.stderr, (error, result.stderr)
            assert not os.path.exists(signed), "a refused image was left behind"
            continue
        assert result.returncode == 0, result.stderr
        verified = subprocess.run(["sbverify", "--cert", cert, signed], capture_output=True)
        assert verified.returncode == 0, verified
        pem_body = "".join(open(cert).read().splitlines()[1:-1])
        assert open(os.path.join(work, "out", "db.cer"), "rb").read() == base64.b64decode(pem_body)


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--efi-dir", required=True, help="the build's efi folder: one per architecture")
    ap.add_argument("--architectures", nargs="+", required=True)
    args = ap.parse_args()
    for test in (check_refuses_unfit_images, elf_to_pe_converts_and_refuses,
                 sign_efi_signs_and_refuses):
        with tempfile.TemporaryDirectory() as work:
            # an assertion ends the run with its traceback
            test(args.efi_dir, args.architectures, work)
        print(f"{test.__name__}: ok", flush=True)
