#!/usr/bin/python3
"""Secure Boot on: every program on the ESP is signed with tools/sign-efi.sh,
the command users get, by a key the firmware's db trusts. The signed
application must make its entry as anywhere else, the entry must start the
signed test loader, which must see Secure Boot on, and the same application
unsigned must be refused, so that a pass proves the firmware really checks."""
import os
import shutil
import subprocess

import expected
import harness
import mkdisk
from dialogue import create_entry, start
from storediff import boot_variables, order
from testprograms import APP, LOADER_PATH, REMOVABLE_BOOT, boot_entry

SNAKEOIL_VARS = "/usr/share/AAVMF/AAVMF_VARS.snakeoil.fd"
SNAKEOIL_KEY = "/usr/share/qemu-efi-aarch64/PkKek-1-snakeoil.key"
SNAKEOIL_CERT = "/usr/share/qemu-efi-aarch64/PkKek-1-snakeoil.pem"
SIGN = os.path.join(harness.TOOLS, "sign-efi.sh")

# The pre-enrolled store holds Boot0000 to Boot0002 but no BootOrder, which the
# firmware writes on the first boot, before the application starts.
FIRMWARE_ORDER = [0, 1, 2]
REFUSED = {"edk2": rb'BdsDxe: failed to load Boot0001 "[^"]*" from [^:]*: Access Denied'}


def signed_programs(m):
    """The ESP programs as just built, signed into the scenario's folder."""
    work = os.path.dirname(m.vars)
    # sign-efi.sh would ask for the password of the shipped key.
    key = os.path.join(work, "snakeoil.key")
    subprocess.run(["openssl", "pkey", "-passin", "pass:snakeoil", "-in", SNAKEOIL_KEY, "-out", key],
                   check=True)
    for name in mkdisk.ESP_PROGRAMS.values():
        subprocess.run([SIGN, key, SNAKEOIL_CERT, m.program(name), os.path.join(work, "signed", name)],
                       check=True, stdout=subprocess.DEVNULL)
    return os.path.join(work, "signed")


def secure_machine(m):
    """Turn the scenario's fresh machine into one with Secure Boot on and the signed programs."""
    shutil.copyfile(SNAKEOIL_VARS, m.vars)
    m.efi_dir = signed_programs(m)
    m.put_esp_files(mkdisk.esp_programs(m.efi_dir))


def signed_application_makes_an_entry_that_boots(m):
    secure_machine(m)
    loader = expected.short_path(expected.partition(m.geometry, 1), LOADER_PATH)
    record = expected.load_option("Signed loader", [loader])
    start(m)
    size, name = create_entry(m, expected.hd_text(expected.partition(m.geometry, 1)),
                              "Signed loader", LOADER_PATH)
    assert (size, name) == (len(record), "Boot0003"), (size, name)
    m.send("s")
    m.expect_exit(0)
    store = boot_variables(m.variables())
    assert store["Boot0003"] == (7, record), store["Boot0003"][1].hex()
    assert store["BootOrder"] == (7, order(FIRMWARE_ORDER + [3])), store["BootOrder"]
    assert boot_entry(m, 3, "Signed loader") == b""
    assert b"TESTLOADER: SecureBoot 01\r" in m.console, harness.plain(m.console)[-800:]


def unsigned_application_is_refused(m):
    unsigned_app = m.program(APP)
    secure_machine(m)
    m.put_esp_files({REMOVABLE_BOOT: unsigned_app})
    m.boot()
    m.expect_re(REFUSED[m.firmware], timeout=harness.BOOT_TIMEOUT)


if __name__ == "__main__":
    harness.run([signed_application_makes_an_entry_that_boots, unsigned_application_is_refused])
