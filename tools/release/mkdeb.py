#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Build the Debian package of one architecture's image with dpkg-deb.

The package installs the image as /usr/lib/addbootentry/addbootentry<suffix>.efi
(data, not a program the system runs: mode 0644) with its copyright file and
the changelog, made from CHANGELOG.md, and from a signed release also the
signed image as addbootentry<suffix>.efi.signed beside it; it has no
maintainer scripts. Its Architecture is the one whose
firmware runs the image. Every file and folder gets SOURCE_DATE_EPOCH as its
date and root as its owner, and gzip writes no name or time, so the package
is the same on every build.

With a Linux program for the architecture, the package also installs it as
/usr/sbin/addbootentry with its manual page addbootentry(8) and lintian's
note on it, and depends on the C library version it needs.

Usage: SOURCE_DATE_EPOCH=SECONDS mkdeb.py OUT-DIR SUFFIX DEBIAN-ARCHITECTURE VERSION IMAGE
       [--signed SIGNED-IMAGE] [--program PROGRAM]   (prints the package's path)
"""
import argparse
import datetime
import email.utils
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

PACKAGE = "addbootentry-efi"
HERE = os.path.dirname(os.path.abspath(__file__))
CHANGELOG = os.path.join(HERE, "..", "..", "CHANGELOG.md")
COPYRIGHT = os.path.join(HERE, "deb", "copyright")
MANUAL = os.path.join(HERE, "deb", "addbootentry.8")
OVERRIDES = os.path.join(HERE, "deb", "lintian-overrides")
PROGRAM = "usr/sbin/addbootentry"
# A placeholder until the project has a public address.
MAINTAINER = "addbootentry maintainers <maintainers@users.noreply.c-seed-ea02e28b.example>"
# An entry's heading in CHANGELOG.md: "## VERSION - YYYY-MM-DD"; before the
# first, the section of what has landed since, which no package describes.
ENTRY = re.compile(r"^## (\S+) - (\d{4}-\d{2}-\d{2})$")
UNRELEASED = "## Unreleased"

CONTROL = """\
Package: {package}
Version: {version}
Architecture: {arch}
Maintainer: {maintainer}
Installed-Size: {size}
{depends}Section: admin
Priority: optional
Suggests: sbsigntool
Description: create a UEFI boot entry from the firmware's console
 addbootentry{suffix}.efi is a UEFI application for firmware of this
 architecture (EDK2- and U-Boot-based). Started from the firmware's boot menu
 or the UEFI Shell, it lists the volumes the firmware reads, asks for the
 volume and path of a boot loader, proves the file exists, and after one
 confirmation key writes a new Boot#### variable and appends it to BootOrder,
 never overwriting an existing entry.
 .
 The package installs the image under /usr/lib/addbootentry/; copy it to
 the EFI System Partition to start it from there. On a machine with Secure
 Boot, sign it first (sbsigntool) with a key that the firmware trusts.
{linux}"""
LINUX = """\
 .
 /usr/sbin/addbootentry asks the same questions on a Linux terminal and writes
 the same entry through efivarfs.
"""


def changelog_entries():
    """[(version, date, [lines of its list])] of CHANGELOG.md, newest first."""
    entries = []
    with open(CHANGELOG) as f:
        for line in f.read().splitlines():
            heading = ENTRY.match(line)
            if heading:
                entries.append((heading.group(1), heading.group(2), []))
            elif line.startswith("## "):
                if line != UNRELEASED or entries:
                    raise RuntimeError(f"{os.path.normpath(CHANGELOG)}: {line!r} is neither "
                                       f"'## VERSION - YYYY-MM-DD' nor '{UNRELEASED}' before every entry")
            elif entries and line.strip():
                entries[-1][2].append(line)
    return entries


def changelog_version():
    """The version of the changelog's newest entry."""
    entries = changelog_entries()
    return entries[0][0] if entries else None


def debian_changelog():
    """CHANGELOG.md in Debian's changelog format: each list item a "*" item,
    each entry dated at midnight UTC of its day."""
    text = ""
    for version, date, lines in changelog_entries():
        when = datetime.datetime.strptime(date, "%Y-%m-%d").replace(tzinfo=datetime.timezone.utc)
        items = []
        for line in lines:
            if line.startswith("- "):
                items.append("  * " + line[2:])
            elif line.startswith("  ") and items:
                items.append("    " + line.strip())
            else:
                raise RuntimeError(f"{CHANGELOG}, entry {version}: not a list item: {line!r}")
        text += (f"{PACKAGE} ({version}) unstable; urgency=medium\n\n" + "\n".join(items)
                 + f"\n\n -- {MAINTAINER}  {email.utils.format_datetime(when)}\n\n")
    return text.rstrip("\n") + "\n"


def _add(root, path, data):
    dest = os.path.join(root, path)
    os.makedirs(os.path.dirname(dest), mode=0o755, exist_ok=True)
    with open(dest, "wb") as f:
        f.write(data)
    os.chmod(dest, 0o644)
    return dest


def gzipped(data):
    return subprocess.run(["gzip", "-n", "-9"], input=data, stdout=subprocess.PIPE, check=True).stdout


def c_library_needed(program):
    """The newest C library symbol version that the program names."""
    with open(program, "rb") as f:
        versions = re.findall(rb"GLIBC_(\d+)\.(\d+)", f.read())
    return ".".join(str(n) for n in max((int(a), int(b)) for a, b in versions))


def source_date_epoch():
    """The date of every file in the package; without it no two builds match."""
    value = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not value.isdigit():
        raise RuntimeError(f"SOURCE_DATE_EPOCH is {'not set' if not value else repr(value)}: "
                           "set it to the release's time in seconds since 1970 (mkdist.py does)")
    return int(value)


def build(out_dir, suffix, arch, version, image, signed=None, program=None):
    """Writes OUT-DIR/addbootentry-efi_VERSION_ARCH.deb; returns its path."""
    if changelog_version() != version:
        raise RuntimeError(f"{os.path.normpath(CHANGELOG)} starts with version {changelog_version()}, "
                           f"not {version}: add an entry for the new version")
    epoch = source_date_epoch()
    with open(image, "rb") as f:
        image_bytes = f.read()
    changelog = gzipped(debian_changelog().encode())
    with open(COPYRIGHT, "rb") as f:
        copyright_text = f.read()
    files = {f"usr/lib/addbootentry/addbootentry{suffix}.efi": image_bytes,
             f"usr/share/doc/{PACKAGE}/changelog.gz": changelog,
             f"usr/share/doc/{PACKAGE}/copyright": copyright_text}
    if signed:
        with open(signed, "rb") as f:
            files[f"usr/lib/addbootentry/addbootentry{suffix}.efi.signed"] = f.read()
    depends = ""
    if program:
        with open(program, "rb") as f:
            files[PROGRAM] = f.read()
        with open(MANUAL, "rb") as f:
            files["usr/share/man/man8/addbootentry.8.gz"] = gzipped(f.read())
        with open(OVERRIDES, "rb") as f:
            files[f"usr/share/lintian/overrides/{PACKAGE}"] = f.read()
        depends = f"Depends: libc6 (>= {c_library_needed(program)})\n"
    with tempfile.TemporaryDirectory() as root:
        os.chmod(root, 0o755)
        for path, data in files.items():
            _add(root, path, data)
        if program:
            os.chmod(os.path.join(root, PROGRAM), 0o755)
        kib = sum((len(data) + 1023) // 1024 for data in files.values())
        kib += sum(len(dirs) for _, dirs, _ in os.walk(root)) + 1
        sums = "".join(f"{hashlib.md5(data).hexdigest()}  {path}\n" for path, data in sorted(files.items()))
        _add(root, "DEBIAN/md5sums", sums.encode())
        _add(root, "DEBIAN/control", CONTROL.format(
            package=PACKAGE, version=version, arch=arch, maintainer=MAINTAINER, size=kib,
            suffix=suffix, depends=depends, linux=LINUX if program else "").encode())
        for folder, dirs, names in os.walk(root):
            for name in dirs:  # whatever the umask
                os.chmod(os.path.join(folder, name), 0o755)
            for name in dirs + names:
                os.utime(os.path.join(folder, name), (epoch, epoch))
        os.utime(root, (epoch, epoch))
        deb = os.path.join(out_dir, f"{PACKAGE}_{version}_{arch}.deb")
        r = subprocess.run(["dpkg-deb", "--root-owner-group", "-Zxz", "--build", root, deb],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode != 0:
            raise RuntimeError(f"dpkg-deb: {r.stdout.decode(errors='replace').strip()}")
    return deb


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out_dir", metavar="OUT-DIR")
    ap.add_argument("suffix", metavar="SUFFIX", help="the UEFI suffix of the image: aa64, x64, ...")
    ap.add_argument("arch", metavar="DEBIAN-ARCHITECTURE")
    ap.add_argument("version", metavar="VERSION", help="the first entry's version in CHANGELOG.md")
    ap.add_argument("image", metavar="IMAGE")
    ap.add_argument("--signed", metavar="SIGNED-IMAGE", help="the image signed for Secure Boot")
    ap.add_argument("--program", metavar="PROGRAM", help="the Linux program of the architecture")
    args = ap.parse_args()
    if not shutil.which("dpkg-deb"):
        sys.exit("mkdeb: dpkg-deb not found")
    try:
        print(build(args.out_dir, args.suffix, args.arch, args.version, args.image, args.signed,
                    args.program))
    except (RuntimeError, OSError) as e:
        sys.exit(f"mkdeb: {e}")


if __name__ == "__main__":
    main()
