#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""A fleet: Debian's ansible-playbook runs one playbook (fleet/boot-entry.yml,
the collection's boot_entry module) against three Linux VMs at once, over
SSH on ports that QEMU forwards from 127.0.0.1 (user networking with
restrict=on: a guest reaches nothing outside QEMU). Each VM starts Debian's
kernel from its firmware with an initramfs of busybox, dropbear, Python
(tools/qemu/fetch-fleet.sh) and our program at /usr/sbin/addbootentry, the
ESP mounted at /boot/efi; the key that Ansible logs in with is made for
this run. x64 on OVMF and aa64 on AAVMF take the entry; aa64 on U-Boot,
whose variables Linux may not write, must fail with the program's refusal
while the others go on.

Check mode reports a change and writes nothing; the real run writes the
record that the dialogue's tests expect for the disk and BootNext; the same
playbook again changes nothing; the firmware then starts the entry.

Usage: test_fleet.py --efi-dir DIR --work-dir DIR --linux-dir DIR --fleet-dir DIR --programs DIR
(the build's efi/, linux/, fleet/ and linux-program/ folders)
"""
import argparse
import concurrent.futures
import glob
import json
import os
import re
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time

import expected
import harness
import linux_initramfs
from harness import BOOT_TIMEOUT
from linux_targets import LINUX_TARGETS
from storediff import boot_changes, boot_variables
from testprograms import LOADER_PATH, loader_load_options

HERE = os.path.dirname(os.path.abspath(__file__))
PLAYBOOK = os.path.join(HERE, "fleet", "boot-entry.yml")
COLLECTIONS = os.path.join(HERE, "..", "..", "ansible")
HOSTS = (("x64", "edk2"), ("aa64", "edk2"), ("aa64", "uboot"))
LABEL = "Fleet"
REFUSAL = ("addbootentry: this firmware keeps its variables for itself (efivarfs is read-only, as under U-Boot); "
           "make the entry with the firmware application addbootentry<arch>.efi started from the firmware.")
# The network card's drivers, after the disk's (virtio-net over PCI); virtio's
# core is a module on x64 and built in on aa64.
NET_MODULES = ("virtio_ring", "virtio", "virtio_pci_legacy_dev", "virtio_pci_modern_dev", "virtio_pci",
               "failover", "net_failover", "virtio_net")
GUEST_ADDRESS = "10.0.2.15/24"  # the address QEMU's user network gives its guest

INIT = """#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts && mount -t devpts devpts /dev/pts
for m in {modules}; do insmod /lib/modules/$m.ko || echo "INIT: insmod $m failed"; done
mount -t efivarfs efivarfs /sys/firmware/efi/efivars || echo "INIT: no efivarfs"
i=0
while [ ! -b /dev/{disk}1 ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
mount -t vfat /dev/{disk}1 /boot/efi
ip link set lo up
ip addr add %s dev eth0 && ip link set eth0 up || echo "INIT: no eth0"
dropbear -R -s -p 22 2>/tmp/dropbear.log || echo "INIT: no dropbear"
echo "INIT: ready"
exec sh
""" % GUEST_ADDRESS


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Host:
    """One VM of the fleet: its machine, its forwarded port."""

    def __init__(self, arch, firmware, args):
        self.name = f"{arch}_{firmware}"
        self.machine = harness.Machine(arch, firmware, os.path.join(args.efi_dir, arch),
                                       os.path.join(args.work_dir, self.name))
        self.port = free_port()
        target = LINUX_TARGETS[arch]
        self.target, self.root = target, os.path.join(args.linux_dir, target.debian, "root")
        self.tree = os.path.join(args.fleet_dir, target.debian, "root")
        self.program = os.path.join(args.programs, arch, "addbootentry")

    @property
    def edk2(self):
        return self.machine.family == "edk2"


def build_initramfs(host, public_key):
    m, target = host.machine, host.target
    initrd = os.path.join(m.work_dir, "initrd.cpio")
    modules = target.modules + tuple(n for n in NET_MODULES if n not in target.modules and glob.glob(
        os.path.join(host.root, "lib", "modules", "*", "kernel", "**", n + ".ko*"), recursive=True))
    etc = {"etc": (stat.S_IFDIR | 0o755, b""), "etc/dropbear": (stat.S_IFDIR | 0o700, b""),
           "etc/passwd": (stat.S_IFREG | 0o644, b"root:x:0:0:root:/root:/bin/sh\n"),
           "etc/group": (stat.S_IFREG | 0o644, b"root:x:0:\n"),
           "etc/shells": (stat.S_IFREG | 0o644, b"/bin/sh\n"),
           "root": (stat.S_IFDIR | 0o700, b""), "root/.ssh": (stat.S_IFDIR | 0o700, b""),
           "root/.ssh/authorized_keys": (stat.S_IFREG | 0o600, public_key)}
    linux_initramfs.build(initrd, host.root, host.program, target.triple, modules, target.disk, init=INIT,
                          program_at="usr/sbin/addbootentry", trees=[host.tree], files=etc)
    return initrd


def start(host, public_key):
    """Boot the VM up to its SSH server."""
    from test_linux import EMULATED, start_through_uboot  # the same road as the Linux program's tests
    m = host.machine
    initrd = build_initramfs(host, public_key)
    append = f"console={host.target.console} quiet {EMULATED}"
    kernel = linux_initramfs.kernel(host.root)
    started = time.monotonic()
    m.boot(extra=["-kernel", kernel, "-initrd", initrd, "-append", append,
                  "-netdev", f"user,id=net0,restrict=on,hostfwd=tcp:127.0.0.1:{host.port}-:22",
                  "-device", "virtio-net-pci,netdev=net0,romfile="], shell=True)
    if m.family == "uboot":
        start_through_uboot(m, kernel, initrd, append)
    m.expect("INIT: ready", timeout=BOOT_TIMEOUT)
    print(f"{host.name}: Linux ready after {time.monotonic() - started:.1f} s, SSH on 127.0.0.1:{host.port}",
          flush=True)


class Fleet:
    """The hosts, the key, the inventory and Ansible's configuration of one run."""

    def __init__(self, hosts, work):
        self.hosts, self.work = hosts, work
        self.key = os.path.join(work, "id_ed25519")
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "fleet-test", "-f", self.key],
                       check=True)
        self.inventory = os.path.join(work, "inventory")
        with open(self.inventory, "w") as f:
            f.write("[fleet]\n" + "".join(f"{h.name} ansible_port={h.port}\n" for h in hosts))
            f.write(f"\n[fleet:vars]\nansible_host=127.0.0.1\nansible_user=root\n"
                    f"ansible_ssh_private_key_file={self.key}\n")
        self.config = os.path.join(work, "ansible.cfg")
        with open(self.config, "w") as f:
            f.write(f"""[defaults]
collections_path = {os.path.abspath(COLLECTIONS)}
forks = {len(hosts)}
host_key_checking = False
retry_files_enabled = False
interpreter_python = /usr/bin/python3
local_tmp = {work}/ansible-tmp
timeout = 60

[ssh_connection]
pipelining = True
transfer_method = piped
ssh_args = -o ControlMaster=no -o UserKnownHostsFile=/dev/null -o StrictHostKeyChecking=no -o LogLevel=ERROR
""")
        self.env = dict(os.environ, ANSIBLE_CONFIG=self.config, ANSIBLE_NOCOLOR="1", ANSIBLE_HOME=work)

    def ssh(self, host, command):
        return subprocess.run(["ssh", "-i", self.key, "-p", str(host.port), "-o", "BatchMode=yes",
                               "-o", "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null",
                               "-o", "LogLevel=ERROR", "-o", "ConnectTimeout=20", "root@127.0.0.1", command],
                              capture_output=True, text=True, timeout=60)

    def wait_for_ssh(self, host, seconds=60):
        deadline = time.monotonic() + seconds
        while True:
            r = self.ssh(host, "echo up")
            if r.stdout.strip() == "up":
                return
            assert time.monotonic() < deadline, f"{host.name}: no SSH: {r.stderr}"
            time.sleep(1)

    def boot_vars(self, host):
        """{name: attributes and data} of the Boot variables, as efivarfs has them now."""
        r = self.ssh(host, "cd /sys/firmware/efi/efivars && for f in Boot*; do "
                           "echo \"$f $(od -An -v -tx1 \"$f\" | tr -d ' \\n')\"; done")
        assert r.returncode == 0, f"{host.name}: {r.stderr}"
        return {line.split("-")[0]: bytes.fromhex(line.split()[1]) for line in r.stdout.splitlines()}

    def ansible(self, *words):
        r = subprocess.run(["ansible", "-i", self.inventory, "fleet"] + list(words), env=self.env,
                           capture_output=True, text=True, timeout=300)
        return r

    def playbook(self, title, *words):
        """Run the playbook; returns ({host: recap counts}, {host: the task's result})."""
        tree = tempfile.mkdtemp(prefix="results-", dir=self.work)
        env = dict(self.env, ANSIBLE_CALLBACKS_ENABLED="ansible.builtin.tree", ANSIBLE_CALLBACK_TREE_DIR=tree)
        started = time.monotonic()
        r = subprocess.run(["ansible-playbook", "-i", self.inventory, PLAYBOOK] + list(words), env=env,
                           capture_output=True, text=True, timeout=300)
        with open(os.path.join(self.work, title.replace(" ", "-") + ".log"), "w") as f:
            f.write(r.stdout + r.stderr)
        recap = {m.group(1): dict((k, int(v)) for k, v in re.findall(r"(\w+)=(\d+)", m.group(2)))
                 for m in re.finditer(r"^(\S+)\s+: (ok=.*)$", r.stdout, re.M)}
        print(f"== {title}: ansible-playbook {' '.join(words)} ({time.monotonic() - started:.1f} s)\n"
              + "\n".join(line for line in r.stdout.splitlines() if " : ok=" in line), flush=True)
        assert set(recap) == {h.name for h in self.hosts}, r.stdout + r.stderr
        results = {}
        for name in os.listdir(tree):
            with open(os.path.join(tree, name)) as f:
                results[name] = json.load(f)
        return recap, results


def expect_counts(recap, host, **counts):
    got = {key: recap[host.name][key] for key in counts}
    assert got == counts, f"{host.name}: {recap[host.name]}, expected {counts}"


def check_refused(recap, results, host):
    expect_counts(recap, host, failed=1, changed=0)
    assert results[host.name].get("msg") == REFUSAL, results[host.name]


def boots_entry(fleet, host, number):
    """Power off from Linux, then the firmware starts the entry by BootNext."""
    m = host.machine
    fleet.ssh(host, "poweroff -f")
    m.expect_exit(0, timeout=60)
    esp = expected.partition(m.geometry, 1)
    record = expected.load_option(LABEL, [expected.short_path(esp, LOADER_PATH)])
    store = boot_variables(m.variables())
    assert store[f"Boot{number:04X}"] == (7, record), store
    assert store["BootNext"] == (7, number.to_bytes(2, "little")), store.get("BootNext")
    m.boot()
    m.expect(f'BdsDxe: starting Boot{number:04X} "{LABEL}" from {expected.hd_text(esp)}/{LOADER_PATH}',
             timeout=BOOT_TIMEOUT)
    assert loader_load_options(m) == b""
    m.expect_exit(0)
    print(f"{host.name}: the firmware started Boot{number:04X}", flush=True)


def run(args):
    shutil.rmtree(args.work_dir, ignore_errors=True)
    os.makedirs(args.work_dir)
    hosts = [Host(arch, firmware, args) for arch, firmware in HOSTS]
    edk2 = [h for h in hosts if h.edk2]
    uboot = next(h for h in hosts if not h.edk2)
    fleet = Fleet(hosts, os.path.abspath(args.work_dir))
    with open(fleet.key + ".pub", "rb") as f:
        public_key = f.read()
    pool = concurrent.futures.ThreadPoolExecutor(len(hosts))
    try:
        started = time.monotonic()
        uboot_before = uboot.machine.variables()
        list(pool.map(lambda h: start(h, public_key), hosts))
        list(pool.map(fleet.wait_for_ssh, hosts))
        print(f"fleet up: {time.monotonic() - started:.1f} s", flush=True)
        if args.only_up:
            ping = fleet.ansible("-m", "ansible.builtin.ping")
            assert ping.returncode == 0 and ping.stdout.count("SUCCESS") == len(hosts), ping.stdout + ping.stderr
            print(f"Python answers Ansible on every host: {time.monotonic() - started:.1f} s", flush=True)
            return

        before = {h.name: fleet.boot_vars(h) for h in edk2}
        recap, results = fleet.playbook("check mode", "--check")
        for h in edk2:
            expect_counts(recap, h, failed=0, changed=1)
            assert results[h.name]["result"] == "dry-run", results[h.name]
            assert fleet.boot_vars(h) == before[h.name], f"{h.name}: check mode wrote"
        check_refused(recap, results, uboot)

        recap, results = fleet.playbook("first run")
        numbers = {}
        for h in edk2:
            expect_counts(recap, h, failed=0, changed=1)
            result, esp = results[h.name], expected.partition(h.machine.geometry, 1)
            assert result["result"] == "created", result
            record = expected.load_option(LABEL, [expected.short_path(esp, LOADER_PATH)])
            numbers[h.name] = number = result["number"]
            assert result["boot_next"] == f"{number:04X}", result
            now = fleet.boot_vars(h)
            assert now[f"Boot{number:04X}"] == b"\x07\0\0\0" + record, now
            assert result["load_option"] == record.hex(), result
            assert now["BootOrder"][-2:] == number.to_bytes(2, "little"), now["BootOrder"]
            assert now["BootNext"] == b"\x07\0\0\0" + number.to_bytes(2, "little"), now
            assert {k: v for k, v in now.items() if k not in (f"Boot{number:04X}", "BootOrder", "BootNext")} == \
                {k: v for k, v in before[h.name].items() if k not in ("BootOrder", "BootNext")}, "others changed"
            before[h.name] = now
        check_refused(recap, results, uboot)

        # BootNext is set again, to what it was: no change either.
        recap, results = fleet.playbook("second run")
        for h in edk2:
            expect_counts(recap, h, failed=0, changed=0, ok=1)
            assert (results[h.name]["result"], results[h.name]["number"]) == ("unchanged", numbers[h.name])
            assert fleet.boot_vars(h) == before[h.name], f"{h.name}: the second run wrote"
        check_refused(recap, results, uboot)
        uboot.machine.stop()
        assert boot_changes(uboot_before, uboot.machine.variables()) == {}, "U-Boot's store changed"
        list(pool.map(lambda h: boots_entry(fleet, h, numbers[h.name]), edk2))
        print(f"fleet: {time.monotonic() - started:.1f} s in all", flush=True)
    finally:
        pool.shutdown(wait=True)
        for h in hosts:
            h.machine.stop()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("efi-dir", "work-dir", "linux-dir", "fleet-dir", "programs"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--only-up", action="store_true", help="boot the fleet and prove SSH and Python; no playbook")
    args = ap.parse_args()
    for tool in ("ansible-playbook", "ssh", "ssh-keygen"):
        if not shutil.which(tool):
            sys.exit(f"no {tool}: tools/setup.sh installs it")
    run(args)


if __name__ == "__main__":
    main()
