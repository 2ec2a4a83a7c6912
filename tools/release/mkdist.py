#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Build the release folder from the built images: each image, the stick
image, the CD image, one Debian package per architecture and SHA256SUMS;
with a signing key and certificate also each image signed, and the stick and
CD then carry the signed images. On x64 and aa64 a signed release starts
through Debian's shim, which Microsoft signs, so that machines trusting only
Microsoft's keys start it once the user has enrolled the release's
certificate (addbootentry.cer at the media's root) with MokManager: shim as
the removable-media file, MokManager beside it, our image as the second stage
that shim loads. Shim and MokManager come from --shim, the folder
tools/release/fetch-shim.sh fills; the release carries them under Debian's
names too, so that SHA256SUMS covers them, and NOTES.txt their versions.

The folder is made anew under a temporary name and takes its real name only
when everything in it is built, so it never holds a file of an earlier build
and a failed build leaves no folder at all. It replaces only an empty folder
or an earlier release: one that holds nothing but the files its SHA256SUMS
lists, unchanged. Any other folder it refuses, and removes nothing. Every date in it is
SOURCE_DATE_EPOCH: from the environment when set, else the time of the
source tree's last commit.

A Linux program of an architecture (--linux=SUFFIX=PROGRAM) goes into its
package. --collection names the Ansible collection's folder: its tarball
(tools/release/mkcollection.py) goes into the release too.

Usage: mkdist.py OUT --source DIR --version V [--key KEY --cert CERT --shim DIR]
                 [--linux=SUFFIX=PROGRAM...] [--collection DIR] SUFFIX=IMAGE...
(cmake --build build --target dist runs it with the build's images)
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

import mkcollection
import mkdeb

HERE = os.path.dirname(os.path.abspath(__file__))
# The disk builder lives with the QEMU tools, which make the demo disk with it.
sys.path.insert(0, os.path.join(HERE, "..", "qemu"))
sys.path.insert(0, os.path.join(HERE, ".."))
import architectures  # noqa: E402
import mkdisk  # noqa: E402
import mkmedia  # noqa: E402

SIGN = os.path.join(HERE, "sign-efi.sh")
STICK = "addbootentry.img"
ISO = "addbootentry.iso"
SUMS = "SHA256SUMS"
NOTES = "NOTES.txt"
CERTIFICATE = "addbootentry.cer"  # the name users pick in MokManager's file list
# Architectures with a Microsoft-signed shim: its package and MokManager's.
SHIM_PACKAGES = {suffix: arch["shim"] for suffix, arch in architectures.ARCHITECTURES.items() if "shim" in arch}
SHIM_FILES = "usr/lib/shim"


class DistError(Exception):
    pass


def source_date_epoch(source):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return os.environ["SOURCE_DATE_EPOCH"]
    r = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if r.returncode != 0 or not r.stdout.strip():
        raise DistError(f"{source} is not a git checkout: set SOURCE_DATE_EPOCH to the release's time")
    return r.stdout.strip()


def sign(key, cert, image, signed):
    r = subprocess.run([SIGN, key, cert, image, signed], stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, text=True)
    if r.returncode != 0:
        raise DistError(r.stdout.strip())


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def shim_versions(shim_dir):
    """{package:arch: version} of what tools/release/fetch-shim.sh unpacked."""
    path = os.path.join(shim_dir, "versions")
    if not os.path.isfile(path):
        raise DistError(f"no {path}: run tools/release/fetch-shim.sh {shim_dir}")
    with open(path) as f:
        return dict(line.split() for line in f if line.strip())


def through_shim(out, suffix, signed, shim_dir):
    """The files that start the signed image through shim on this
    architecture's removable media; shim and MokManager also into the
    release folder. Shim's fallback (fb*.efi) stays out: it would make boot
    entries of its own."""
    boot = os.path.dirname(mkdisk.removable_boot(suffix))
    files = {}
    for debian_name, media_name in ((f"shim{suffix}.efi.signed", mkdisk.removable_boot(suffix)),
                                    (f"mm{suffix}.efi.signed", f"{boot}/mm{suffix}.efi")):
        source = os.path.join(shim_dir, "root", SHIM_FILES, debian_name)
        if not os.path.isfile(source):
            raise DistError(f"no {source}: run tools/release/fetch-shim.sh {shim_dir}")
        shutil.copyfile(source, os.path.join(out, debian_name))
        files[media_name] = os.path.join(out, debian_name)
    files[f"{boot}/grub{suffix}.efi"] = signed
    return files


def write_notes(out, version, suffixes, shim_dir):
    versions = shim_versions(shim_dir)
    lines = [f"addbootentry {version}\n", "\n",
             "Signed release: on x64 and aa64 the stick and the CD start through Debian's shim\n",
             "(signed by Microsoft) and MokManager; enrol addbootentry.cer with MokManager.\n"]
    for suffix in suffixes:
        for package in SHIM_PACKAGES[suffix]:
            if package not in versions:
                raise DistError(f"{shim_dir}/versions names no {package}")
            lines.append(f"{package} {versions[package]}\n")
    with open(os.path.join(out, NOTES), "w") as f:
        f.writelines(lines)


def write_sums(folder):
    lines = [f"{sha256(os.path.join(folder, name))}  {name}\n" for name in sorted(os.listdir(folder))]
    with open(os.path.join(folder, SUMS), "w") as f:
        f.writelines(lines)


def refuse_foreign(out):
    """Raises DistError unless `out` is absent, an empty folder, or an earlier
    release: the files its SHA256SUMS lists, unchanged, and nothing else."""
    if not os.path.lexists(out):
        return
    if os.path.islink(out) or not os.path.isdir(out):
        raise DistError(f"{out} is not a folder")
    names = set(os.listdir(out))
    if not names:
        return
    listed = {}
    try:
        with open(os.path.join(out, SUMS)) as f:
            for line in f:
                digest, _, name = line.rstrip("\n").partition("  ")
                listed[name] = digest
    except (OSError, UnicodeDecodeError):
        listed = None
    ours = listed is not None and names == set(listed) | {SUMS} and all(
        os.path.isfile(path) and not os.path.islink(path) and sha256(path) == digest
        for path, digest in ((os.path.join(out, name), digest) for name, digest in listed.items()))
    if not ours:
        raise DistError(f"{out} is not an earlier release: it holds files that its {SUMS} does not list, "
                        "or lists otherwise; choose another folder, or empty it yourself")


def parse_images(arguments):
    """{suffix: image} from SUFFIX=IMAGE arguments."""
    images = {}
    for argument in arguments:
        suffix, separator, image = argument.partition("=")
        if not separator or not image:
            raise DistError(f"{argument!r}: expected SUFFIX=IMAGE, e.g. aa64=build/efi/aa64/addbootentryaa64.efi")
        if suffix not in architectures.ARCHITECTURES:
            raise DistError(f"{argument!r}: no architecture {suffix!r}; one of {', '.join(architectures.ARCHITECTURES)}")
        if suffix in images:
            raise DistError(f"{argument!r}: a second image for {suffix}")
        images[suffix] = image
    return images


def build(out, images, version, key=None, cert=None, shim_dir=None, programs=None, collection=None):
    """images: {suffix: path}, programs: {suffix: Linux program}, collection:
    the Ansible collection's folder. Fills the folder `out` (which must not exist)."""
    work = tempfile.mkdtemp(prefix="work-", dir=os.path.dirname(out))
    try:
        boot_files = {}
        for suffix, image in sorted(images.items()):
            name = mkdisk.app_name(suffix)
            shutil.copyfile(image, os.path.join(out, name))
            boot_files[mkdisk.removable_boot(suffix)] = image
            signed = None
            if key:
                signed = os.path.join(out, name + ".signed")
                sign(key, cert, image, os.path.join(work, name))
                shutil.copyfile(os.path.join(work, name), signed)
                boot_files[mkdisk.removable_boot(suffix)] = signed
            if signed and suffix in SHIM_PACKAGES:
                boot_files.update(through_shim(out, suffix, signed, shim_dir))
            mkdeb.build(out, suffix, architectures.debian(suffix), version, image, signed,
                        (programs or {}).get(suffix))
        if key:
            boot_files[CERTIFICATE] = os.path.join(out, CERTIFICATE)
            r = subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER", "-out",
                                boot_files[CERTIFICATE]], stderr=subprocess.PIPE, text=True)
            if r.returncode != 0:
                raise DistError(f"openssl: {r.stderr.strip()}")
            shim_suffixes = sorted(set(images) & set(SHIM_PACKAGES))
            if shim_suffixes:
                write_notes(out, version, shim_suffixes, shim_dir)
        if collection:
            try:
                mkcollection.build(out, collection, version, os.environ["SOURCE_DATE_EPOCH"])
            except mkcollection.CollectionError as e:
                raise DistError(str(e)) from None
        mkmedia.stick(os.path.join(out, STICK), boot_files)
        mkmedia.iso(os.path.join(out, ISO), boot_files)
        write_sums(out)
        for name in os.listdir(out):  # whatever the umask
            os.chmod(os.path.join(out, name), 0o644)
    finally:
        shutil.rmtree(work)


def check(args, images):
    needed = mkmedia.TOOLS + ("dpkg-deb",) + (("ansible-galaxy",) if args.collection else ())
    missing = [tool for tool in needed if not shutil.which(tool)]
    if missing:
        raise DistError(f"{', '.join(missing)} not found (tools/setup.sh installs them)")
    if bool(args.key) != bool(args.cert):
        raise DistError("signing needs both a key and its certificate")
    if args.key and set(images) & set(SHIM_PACKAGES):
        if not args.shim:
            raise DistError("a signed release for x64 or aa64 needs --shim "
                            "(the folder tools/release/fetch-shim.sh fills)")
        shim_versions(args.shim)
    for image in images.values():
        if not os.path.isfile(image):
            raise DistError(f"no image {image} (build first: cmake --build build)")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out")
    ap.add_argument("--source", required=True, help="the source tree, for its last commit's time")
    ap.add_argument("--version", required=True)
    ap.add_argument("--key", help="PEM private key for signing the images")
    ap.add_argument("--cert", help="PEM certificate of that key")
    ap.add_argument("--shim", help="the folder tools/release/fetch-shim.sh filled (signed releases)")
    ap.add_argument("--linux", action="append", default=[], metavar="SUFFIX=PROGRAM",
                    help="the Linux program for the package of that architecture")
    ap.add_argument("--collection", help="the Ansible collection's folder (ansible/ansible_collections/NS/NAME)")
    ap.add_argument("images", nargs="+", metavar="SUFFIX=IMAGE")
    args = ap.parse_args()
    out = os.path.abspath(args.out)
    try:
        images = parse_images(args.images)
        programs = parse_images(args.linux)
        refuse_foreign(out)
    except DistError as e:
        sys.exit(f"dist: {e}\ndist: nothing written to {out}, nothing removed")
    partial = None
    try:
        shutil.rmtree(out, ignore_errors=True)
        check(args, {**{"linux-" + s: p for s, p in programs.items()}, **images})
        os.environ["SOURCE_DATE_EPOCH"] = source_date_epoch(args.source)
        os.makedirs(os.path.dirname(out), exist_ok=True)
        # A name of its own: never a folder that was there before.
        partial = tempfile.mkdtemp(prefix=os.path.basename(out) + ".partial-", dir=os.path.dirname(out))
        os.chmod(partial, 0o755)
        build(partial, images, args.version, args.key, args.cert, args.shim, programs, args.collection)
        os.rename(partial, out)
    except BaseException as e:  # an interrupted build leaves nothing either
        if partial:
            shutil.rmtree(partial, ignore_errors=True)
        if not isinstance(e, (DistError, RuntimeError)):
            raise
        sys.exit(f"dist: {e}\ndist: nothing written to {out}")
    print(f"dist: {out} (SOURCE_DATE_EPOCH {os.environ['SOURCE_DATE_EPOCH']})")


if __name__ == "__main__":
    main()
