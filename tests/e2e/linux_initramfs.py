# SPDX-License-Identifier: BSD-2-Clause-Patent
"""An initramfs for the Linux program's end-to-end tests: busybox, our program
as it ships with the C library it links to, and the kernel modules it needs,
loaded in order by /init, which mounts efivarfs, runs the program on the
console (or a command given) and then keeps a shell there for the test. `mountesp=1` on the
kernel command line (handed to /init as a variable) mounts the ESP at
/boot/efi first, as an installed system has it; without it the program
mounts the ESP itself for the loader check."""
import glob
import lzma
import os
import re
import stat
import subprocess

INIT = """#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in {modules}; do insmod /lib/modules/$m.ko || echo "INIT: insmod $m failed"; done
mount -t efivarfs efivarfs /sys/firmware/efi/efivars || echo "INIT: no efivarfs"
i=0
while [ ! -b /dev/{disk}1 ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done
[ "$mountesp" = 1 ] && mount -t vfat /dev/{disk}1 /boot/efi
echo "INIT: ready"
{run}
echo "INIT: addbootentry exit status $?"
exec sh
"""


class _Cpio:
    """The newc format the kernel unpacks."""

    def __init__(self):
        self.data, self.inode = bytearray(), 1

    def add(self, name, mode, content=b"", rdev=(0, 0)):
        fields = [self.inode, mode, 0, 0, 1, 0, len(content), 0, 0, rdev[0], rdev[1], len(name) + 1, 0]
        self.inode += 1
        self.data += b"070701" + b"".join(b"%08X" % f for f in fields) + name.encode() + b"\0"
        self.data += bytes(-len(self.data) % 4) + content
        self.data += bytes(-len(self.data) % 4)

    def finish(self):
        self.add("TRAILER!!!", 0)
        return bytes(self.data)


def _module(root, name):
    """A module's bytes, found under the kernel's tree by its name, unpacked if compressed."""
    found = glob.glob(os.path.join(root, "lib", "modules", "*", "kernel", "**", name + ".ko*"), recursive=True)
    assert len(found) == 1, f"module {name}: {found}"
    with open(found[0], "rb") as f:
        data = f.read()
    return lzma.decompress(data) if found[0].endswith(".xz") else data


def kernel(root):
    found = glob.glob(os.path.join(root, "boot", "vmlinuz-*"))
    assert len(found) == 1, f"kernel in {root}: {found}"
    return found[0]


def c_library(program, triple):
    """{path in the initramfs: file} of the dynamic loader and the libraries
    that the program names, from this machine's C library for triple
    (its own, or the Debian cross package's)."""
    elf = subprocess.run(["llvm-readelf", "-d", "-l", program], capture_output=True, text=True, check=True).stdout
    folder = next(f for f in (f"/usr/{triple}/lib", f"/lib/{triple}") if os.path.isdir(f))
    interpreter = re.search(r"program interpreter: (\S+)\]", elf).group(1)
    files = {interpreter.lstrip("/"): os.path.join(folder, os.path.basename(interpreter))}
    for name in re.findall(r"\(NEEDED\)\s+Shared library: \[(\S+)\]", elf):
        files[f"lib/{name}"] = os.path.join(folder, name)
    return files


def _add_tree(cpio, top, added):
    """Every folder, file and link under top at the same place in the
    initramfs, links as they are; folders already added are not again."""
    for folder, subfolders, files in os.walk(top):
        subfolders.sort()
        for name in subfolders + sorted(files):
            source, inside = os.path.join(folder, name), os.path.relpath(os.path.join(folder, name), top)
            mode = os.lstat(source).st_mode
            if stat.S_ISLNK(mode):
                cpio.add(inside, stat.S_IFLNK | 0o777, os.readlink(source).encode())
            elif stat.S_ISDIR(mode):
                if inside not in added:
                    cpio.add(inside, stat.S_IFDIR | 0o755)
                    added.add(inside)
            else:
                with open(source, "rb") as f:
                    cpio.add(inside, stat.S_IFREG | (mode & 0o755), f.read())


def build(path, root, program, triple, modules, disk, run="/sbin/addbootentry", init=INIT,
          program_at="sbin/addbootentry", trees=(), files=None):
    """Writes the initramfs to path: root is the unpacked kernel and busybox
    packages, program our build for triple, disk the kernel's name of the disk;
    run is the command /init runs on the console before its shell. init is
    /init's text ({modules}, {disk} and {run} filled in), program_at where
    the program goes; trees, more unpacked packages, whose files come after
    (and so in place of) the C library above; files, more {path: (mode,
    bytes)}, folders (S_IFDIR) before what they hold."""
    cpio = _Cpio()
    libraries = c_library(program, triple)
    folders = {os.path.dirname(name) for name in libraries}
    added = {"bin", "sbin", "dev", "proc", "sys", "tmp", "boot", "boot/efi", "lib", "lib/modules", *folders}
    folder = os.path.dirname(program_at)
    while folder:
        added.add(folder)
        folder = os.path.dirname(folder)
    for folder in sorted(added, key=lambda f: (f.count("/"), f)):
        cpio.add(folder, stat.S_IFDIR | 0o755)
    for name, source in libraries.items():
        with open(source, "rb") as f:  # the loader is a link to its file
            cpio.add(name, stat.S_IFREG | 0o755, f.read())
    # The kernel opens the console for /init before devtmpfs is there.
    cpio.add("dev/console", stat.S_IFCHR | 0o600, rdev=(5, 1))
    with open(os.path.join(root, "bin", "busybox"), "rb") as f:
        cpio.add("bin/busybox", stat.S_IFREG | 0o755, f.read())
    with open(program, "rb") as f:
        cpio.add(program_at, stat.S_IFREG | 0o755, f.read())
    for name in modules:
        cpio.add(f"lib/modules/{name}.ko", stat.S_IFREG | 0o644, _module(root, name))
    for tree in trees:
        _add_tree(cpio, tree, added)
    for name, (mode, content) in (files or {}).items():
        cpio.add(name, mode, content)
    init = init.format(modules=" ".join(modules), disk=disk, run=run)
    cpio.add("init", stat.S_IFREG | 0o755, init.encode())
    with open(path, "wb") as f:
        f.write(cpio.finish())
