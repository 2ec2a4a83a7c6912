#!/usr/bin/python3
"""The image's fitness for strict and Secure Boot firmware, without QEMU: the
build check must refuse an image that strict firmware refuses, and
tools/sign-efi.sh must sign with a matching key and certificate and refuse,
naming the fault, anything else."""
import argparse
import base64
import os
import stat
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.join(HERE, "..", "..")
SIGN = os.path.join(REPO, "tools", "sign-efi.sh")


def doctored(image, field, set_bits, clear_bits):
    """A copy of the image with bits of one header field set and cleared."""
    data = bytearray(image)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    offset, width = {"characteristics": (pe + 22, "<H"),       # file header
                     "dll": (pe + 24 + 70, "<H"),              # PE32+ DllCharacteristics
                     "first_section": (pe + 24 + optional_size + 36, "<I")}[field]
    value = struct.unpack_from(width, data, offset)[0]
    struct.pack_into(width, data, offset, (value | set_bits) & ~clear_bits)
    return bytes(data)


CHECK_CASES = [  # (header field, bits set, bits cleared, error of the check; None: it passes)
    ("dll", 0, 0, None),
    ("dll", 0, 0x100, "NX_COMPAT"),
    ("dll", 0, 0x40, "DYNAMIC_BASE"),
    ("first_section", 0x80000000, 0, ".text is both writable and executable"),
    ("characteristics", 0x0001, 0, "relocations are stripped"),
]


def check_refuses_unfit_images(efi_dir, work):
    image = open(os.path.join(efi_dir, "addbootentryaa64.efi"), "rb").read()
    for field, set_bits, clear_bits, error in CHECK_CASES:
        path = os.path.join(work, "checked.efi")
        with open(path, "wb") as f:
            f.write(doctored(image, field, set_bits, clear_bits))
        result = subprocess.run(["cmake", f"-DEFI_FILE={path}", "-DEFI_ARCH=aa64", "-P",
                                 os.path.join(REPO, "cmake", "check-efi.cmake")],
                                capture_output=True, text=True)
        message = " ".join(result.stderr.split())
        if error is None:
            assert result.returncode == 0, message
        else:
            assert result.returncode != 0 and error in message, (field, error, message)


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


def sign_efi_signs_and_refuses(efi_dir, work):
    image = os.path.join(efi_dir, "addbootentryaa64.efi")
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
    ap.add_argument("--efi-dir", required=True)
    efi_dir = ap.parse_args().efi_dir
    for test in (check_refuses_unfit_images, sign_efi_signs_and_refuses):
        with tempfile.TemporaryDirectory() as work:
            test(efi_dir, work)  # an assertion ends the run with its traceback
        print(f"{test.__name__}: ok", flush=True)
