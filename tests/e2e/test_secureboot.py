#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Secure Boot on: every program on the ESP is signed with tools/release/sign-efi.sh,
the command users get, by a key the firmware's db trusts. The signed
application must make its entry as anywhere else, the entry must start the
signed test loader, which must see Secure Boot on, and the same application
unsigned must be refused, so that a pass proves the firmware really checks.

EDK2 (AArch64 and x86-64) boots a store that ships with the key enrolled;
x86-64's OVMF needs its Secure Boot build for that. U-Boot keeps its
variables in a file on the ESP and, since anyone can write that file, never
reads PK, KEK or db back from it: keys enrolled in one boot are gone in the
next. So on U-Boot each scenario enrols the key from its shell (efitools'
.auth files) and runs everything in that same boot."""
import os
import shutil
import subprocess

import expected
import harness
import mkdisk
from dialogue import ATTR_BANNER, BANNER, create_entry, start
from storediff import boot_variables, order
from testprograms import LOADER_PATH, boot_entry, loader_load_options

# The test key pair, beside each architecture's EDK2 (the AArch64 one serves
# U-Boot too).
SNAKEOIL = harness.run_qemu.SECURE_BOOT_KEYS
SIGN = os.path.join(harness.TOOLS, "..", "release", "sign-efi.sh")
IMAGE_SECURITY_DATABASE = "d719b2cb-3d3a-4596-a3bc-dad00e67656f"
KEY_OWNER = "c0de5ec0-0b00-4d1e-8d1a-0123456789ab"  # any GUID: whose entry it is in a list
UNSIGNED = "EFI/test/unsigned.efi"

# The EDK2 store holds Boot0000 to Boot0002 but no BootOrder, which the
# firmware writes on the first boot, before the application starts.
FIRMWARE_ORDER = {"edk2": [0, 1, 2], "uboot": []}
REFUSED = {"edk2": rb'BdsDxe: failed to load Boot0001 "[^"]*" from [^:]*: Access Denied',
           "uboot": rb"Booting /EFI\\test\\unsigned\.efi\s+Image not authenticated"}


def run_tool(*cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def secure_machine(m):
    """The scenario's fresh machine with the signed programs (m.program now
    gives those) and Secure Boot on (EDK2) or the key ready to enrol (U-Boot);
    the unsigned application is at UNSIGNED too."""
    # The shipped key has a password, which sign-efi.sh would ask for.
    key, cert = os.path.join(m.work_dir, "snakeoil.key"), SNAKEOIL[m.arch] + ".pem"
    run_tool("openssl", "pkey", "-passin", "pass:snakeoil", "-in", SNAKEOIL[m.arch] + ".key", "-out", key)
    files = {UNSIGNED: m.program(m.app)}
    for dest, name in mkdisk.esp_program_names(m.arch).items():
        files[dest] = os.path.join(m.work_dir, "signed", name)
        run_tool(SIGN, key, cert, m.program(name), files[dest])
    m.efi_dir = os.path.join(m.work_dir, "signed")
    if m.family == "edk2":
        m.target = harness.run_qemu.SECURE_BOOT[m.arch]
        shutil.copyfile(m.target.store, m.vars)
    else:
        run_tool("cert-to-efi-sig-list", "-g", KEY_OWNER, cert, os.path.join(m.work_dir, "cert.esl"))
        for variable in ("db", "KEK", "PK"):
            files[f"EFI/keys/{variable}.auth"] = os.path.join(m.work_dir, f"{variable}.auth")
            run_tool("sign-efi-sig-list", "-k", key, "-c", cert, variable,
                     os.path.join(m.work_dir, "cert.esl"), files[f"EFI/keys/{variable}.auth"])
    m.put_esp_files(files)


def uboot_shell(m, command):
    m.send(command + "\r")
    m.expect(harness.UBOOT_PROMPT)


def uboot_start_with_keys(m, program):
    """Boot U-Boot to its shell, enrol db, KEK and finally PK (which ends
    setup mode), then start the program at this ESP path."""
    m.boot(shell=True)
    for variable in ("db", "KEK", "PK"):
        vendor = f"-guid {IMAGE_SECURITY_DATABASE} " if variable == "db" else ""
        uboot_shell(m, f"load virtio 0:1 $kernel_addr_r EFI/keys/{variable}.auth")
        uboot_shell(m, f"setenv -e -nv -bs -rt -at {vendor}-i $kernel_addr_r:$filesize {variable}")
    uboot_shell(m, f"load virtio 0:1 $kernel_addr_r {program}")
    m.send("bootefi $kernel_addr_r $fdtcontroladdr\r")


def signed_application_makes_an_entry_that_boots(m):
    secure_machine(m)
    esp = expected.partition(m.geometry, 1)
    record = expected.load_option("Signed loader", [expected.short_path(esp, LOADER_PATH)])
    number = len(FIRMWARE_ORDER[m.family])
    if m.family == "edk2":
        start(m)
    else:
        uboot_start_with_keys(m, m.removable_boot)
        m.expect(BANNER, ATTR_BANNER, timeout=harness.BOOT_TIMEOUT)
    size, name = create_entry(m, expected.hd_text(esp), "Signed loader", LOADER_PATH)
    assert (size, name) == (len(record), f"Boot{number:04X}"), (size, name)
    if m.family == "edk2":
        m.send("s")
        m.expect_exit(0)
        options = boot_entry(m, number, "Signed loader")
    else:
        m.send("x")
        m.expect(harness.UBOOT_PROMPT)
        m.send("bootefi bootmgr\r")
        m.expect(harness.ENTRY_STARTS["uboot"].format(description="Signed loader"))
        options = loader_load_options(m)
        m.expect_exit(0)
    assert options == b"", options.hex()
    assert b"TESTLOADER: SecureBoot 01\r" in m.console, harness.plain(m.console)[-800:]
    store = boot_variables(m.variables())
    assert store[name] == (7, record), store[name][1].hex()
    assert store["BootOrder"] == (7, order(FIRMWARE_ORDER[m.family] + [number])), store["BootOrder"]


def unsigned_application_is_refused(m):
    unsigned = m.program(m.app)
    secure_machine(m)
    if m.family == "edk2":
        m.put_esp_files({m.removable_boot: unsigned})
        m.boot()
    else:
        uboot_start_with_keys(m, UNSIGNED)
    m.expect_re(REFUSED[m.family], timeout=harness.BOOT_TIMEOUT)


if __name__ == "__main__":
    harness.run([signed_application_makes_an_entry_that_boots, unsigned_application_is_refused])
