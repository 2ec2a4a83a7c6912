#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The release folder, without QEMU: exactly the files it promises, checksums
that `sha256sum -c` accepts, the same bytes from a second build, packages
whose fields, files and modes are right and that lintian passes, images whose
PE machine is the one their package's architecture runs, boot media that
carry each image under its removable-media name, and signing that signs the
images on the media (on x64 and aa64 behind Debian's shim, with MokManager
and the certificate, never shim's fallback) and in the packages or, with a
wrong key, leaves no folder at all, mkdeb.py alone making the same package,
and a folder that is not an earlier release, or a malformed argument, refused
with a message and the folder left as it was.

Usage: test_dist.py DIST -- MKDIST-ARGUMENTS   (the build's own, from CMake)
"""
import gzip
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "..", "tools")
sys.path.insert(0, os.path.join(TOOLS, "qemu"))
sys.path.insert(0, os.path.join(TOOLS, "release"))
sys.path.insert(0, TOOLS)
import architectures  # noqa: E402
import mkdisk  # noqa: E402
from mkdist import source_date_epoch  # noqa: E402
from test_image import key_pair  # noqa: E402

MKDIST = os.path.join(TOOLS, "release", "mkdist.py")
MKDEB = os.path.join(TOOLS, "release", "mkdeb.py")
LICENSE = os.path.join(HERE, "..", "..", "LICENSE")
PACKAGE = "addbootentry-efi"
BASIC_DATA = "ebd0a0a2-b9e5-4433-87c0-68b6b72699c7"
MTOOLS_ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1")
# Architectures whose signed release starts through Microsoft-signed shim.
SHIM = tuple(s for s, arch in architectures.ARCHITECTURES.items() if "shim" in arch)


def run(*cmd, **kwargs):
    r = subprocess.run(cmd, capture_output=True, **kwargs)
    assert r.returncode == 0, f"{' '.join(cmd)}: {r.stderr}"
    return r.stdout


def read(path):
    with open(path, "rb") as f:
        return f.read()


def images_of(mkdist_args):
    """{suffix: image} from mkdist's SUFFIX=IMAGE arguments."""
    return dict(a.split("=", 1) for a in mkdist_args if "=" in a and not a.startswith("-"))


def programs_of(mkdist_args):
    """{suffix: Linux program} from mkdist's --linux=SUFFIX=PROGRAM arguments."""
    return dict(a[len("--linux="):].split("=", 1) for a in mkdist_args if a.startswith("--linux="))


def version_of(mkdist_args):
    return mkdist_args[mkdist_args.index("--version") + 1]


def collection_of(mkdist_args):
    """The Ansible collection's folder, or None."""
    return mkdist_args[mkdist_args.index("--collection") + 1] if "--collection" in mkdist_args else None


def expected_names(suffixes, version, signed, collection=None):
    names = {"addbootentry.img", "addbootentry.iso", "SHA256SUMS"}
    if collection:
        names.add(f"addbootentry-uefi-{version}.tar.gz")
    for suffix in suffixes:
        debarch = architectures.debian(suffix)
        names |= {f"addbootentry{suffix}.efi", f"{PACKAGE}_{version}_{debarch}.deb"}
        if signed:
            names.add(f"addbootentry{suffix}.efi.signed")
        if signed and suffix in SHIM:
            names |= {f"shim{suffix}.efi.signed", f"mm{suffix}.efi.signed", "NOTES.txt"}
    if signed:
        names.add("addbootentry.cer")
    return names


def licence_of(copyright_text):
    """The text of the BSD-2-Clause-Patent paragraph of a machine-readable
    copyright file, unfolded (" ." is an empty line)."""
    paragraph = copyright_text.split("\nLicense: BSD-2-Clause-Patent\n")[-1]
    return "".join("\n" if line == " ." else line[1:] + "\n" for line in paragraph.splitlines())


def boot_files(dist, suffixes, signed):
    """{path: bytes} that the media must carry."""
    files = {}
    for s in suffixes:
        image = read(os.path.join(dist, f"addbootentry{s}.efi" + (".signed" if signed else "")))
        if signed and s in SHIM:
            files[f"EFI/BOOT/BOOT{s.upper()}.EFI"] = read(os.path.join(dist, f"shim{s}.efi.signed"))
            files[f"EFI/BOOT/mm{s}.efi"] = read(os.path.join(dist, f"mm{s}.efi.signed"))
            files[f"EFI/BOOT/grub{s}.efi"] = image
        else:
            files[f"EFI/BOOT/BOOT{s.upper()}.EFI"] = image
    if signed:
        files["addbootentry.cer"] = read(os.path.join(dist, "addbootentry.cer"))
    return files


def pe_machine(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
    return struct.unpack_from("<H", data, pe + 4)[0]


def fat_files(volume):
    """{path: bytes} of every file on a FAT volume as mtools names it."""
    listing = run("mdir", "-/", "-b", "-i", volume, "::/", env=MTOOLS_ENV, text=True).split()
    return {path[3:]: run("mcopy", "-n", "-i", volume, path, "-", env=MTOOLS_ENV)
            for path in listing if not path.endswith("/")}


def media_files(dist, work):
    """The files on the stick's one partition and on the ISO's El Torito boot image."""
    stick = os.path.join(dist, "addbootentry.img")
    table = mkdisk.geometry(stick)
    assert table["table"] == "gpt" and len(table["partitions"]) == 1, table
    partition = table["partitions"][0]
    # A basic-data partition, not an ESP: U-Boot's variables stay on the machine.
    assert partition["type"] == BASIC_DATA, partition
    report = run("xorriso", "-indev", os.path.join(dist, "addbootentry.iso"),
                 "-report_el_torito", "plain", text=True)
    boot_image = re.search(r"El Torito boot img :\s+1\s+UEFI\s+y\s+none\b", report)
    assert boot_image, report
    path = re.search(r"El Torito img path :\s+1\s+(\S+)", report).group(1)
    fat = os.path.join(work, "efiboot.img")
    run("xorriso", "-osirrox", "on", "-indev", os.path.join(dist, "addbootentry.iso"),
        "-extract", path, fat)
    return {"stick": fat_files(f"{stick}@@{partition['start'] * 512}"), "iso": fat_files(fat)}


def check_folder(dist, suffixes, version, signed, work, collection=None):
    """Names, checksums, and the media's files; returns SHA256SUMS."""
    names = expected_names(suffixes, version, signed, collection)
    assert set(os.listdir(dist)) == names, sorted(os.listdir(dist))
    sums = read(os.path.join(dist, "SHA256SUMS")).decode()
    assert sorted(line.split("  ")[1] for line in sums.splitlines()) == sorted(names - {"SHA256SUMS"}), sums
    run("sha256sum", "--strict", "-c", "SHA256SUMS", cwd=dist)
    boot = boot_files(dist, suffixes, signed)
    media = media_files(dist, work)
    assert media == {"stick": boot, "iso": boot}, {k: sorted(v) for k, v in media.items()}
    return sums


def check_packages(dist, images, version, programs, signed=False):
    debs = []
    for suffix, image in images.items():
        program = programs.get(suffix)
        debarch = architectures.debian(suffix)
        deb = os.path.join(dist, f"{PACKAGE}_{version}_{debarch}.deb")
        debs.append(deb)
        fields = run("dpkg-deb", "-f", deb, "Package", "Version", "Architecture", "Section",
                     "Suggests", "Depends", "Pre-Depends", text=True)
        depends = [line for line in fields.splitlines() if line.startswith("Depends: ")]
        assert [line for line in fields.splitlines() if line not in depends] == [
            f"Package: {PACKAGE}", f"Version: {version}", f"Architecture: {debarch}", "Section: admin",
            "Suggests: sbsigntool"], fields
        # The Linux program's C library; the image alone needs nothing.
        assert bool(depends) == bool(program) and all(re.fullmatch(r"Depends: libc6 \(>= 2\.\d+\)", line)
                                                      for line in depends), fields
        members = run("dpkg-deb", "--ctrl-tarfile", deb)
        control = run("tar", "-t", input=members, text=False).decode().split()
        assert sorted(control) == ["./", "./control", "./md5sums"], f"maintainer scripts? {control}"
        contents = [line.split() for line in run("dpkg-deb", "-c", deb, text=True).splitlines()]
        modes = {c[5].lstrip("."): (c[0], c[1]) for c in contents}
        doc = f"/usr/share/doc/{PACKAGE}"
        files = {f"/usr/lib/addbootentry/addbootentry{suffix}.efi", f"{doc}/copyright", f"{doc}/changelog.gz"}
        if signed:
            files.add(f"/usr/lib/addbootentry/addbootentry{suffix}.efi.signed")
        folders = {"/", "/usr/", "/usr/lib/", "/usr/lib/addbootentry/", "/usr/share/", "/usr/share/doc/", doc + "/"}
        programs_files = {}
        if program:
            programs_files = {"/usr/sbin/addbootentry": ("-rwxr-xr-x", "root/root")}
            files |= {"/usr/share/man/man8/addbootentry.8.gz", f"/usr/share/lintian/overrides/{PACKAGE}"}
            folders |= {"/usr/sbin/", "/usr/share/man/", "/usr/share/man/man8/", "/usr/share/lintian/",
                        "/usr/share/lintian/overrides/"}
        assert modes == {**{f: ("-rw-r--r--", "root/root") for f in files},
                         **{d: ("drwxr-xr-x", "root/root") for d in folders}, **programs_files}, modes
        packaged = run("dpkg-deb", "--fsys-tarfile", deb)
        image_bytes = run("tar", "-xO", f"./usr/lib/addbootentry/addbootentry{suffix}.efi", input=packaged)
        assert image_bytes == read(image) == read(os.path.join(dist, f"addbootentry{suffix}.efi"))
        if program:
            assert run("tar", "-xO", "./usr/sbin/addbootentry", input=packaged) == read(program)
        assert pe_machine(image_bytes) == architectures.pe_machine(suffix), \
            f"{suffix}: machine {pe_machine(image_bytes):#x}"
        changelog = gzip.decompress(run("tar", "-xO", f".{doc}/changelog.gz", input=packaged)).decode()
        assert changelog.startswith(f"{PACKAGE} ({version}) "), changelog
        copyright_text = run("tar", "-xO", f".{doc}/copyright", input=packaged).decode()
        assert licence_of(copyright_text) == read(LICENSE).decode().split("\n\n", 1)[1], copyright_text
        if signed:
            signed_bytes = run("tar", "-xO", f"./usr/lib/addbootentry/addbootentry{suffix}.efi.signed",
                               input=packaged)
            assert signed_bytes == read(os.path.join(dist, f"addbootentry{suffix}.efi.signed"))
    # stdout only: lintian warns on stderr when it runs as root.
    tags = run("lintian", "--display-info", "--pedantic", *debs, text=True)
    assert tags.strip() == "", tags


def check_collection(dist, source, version, work):
    """The tarball: the collection's name and the release's version in its
    manifest, the module as in the source tree, every time the same; and
    ansible-galaxy installs it, offline, so that ansible-doc shows the module."""
    tarball = os.path.join(dist, f"addbootentry-uefi-{version}.tar.gz")
    listing = run("tar", "--list", "--verbose", "--full-time", "-z", "-f", tarball, text=True).splitlines()
    assert len({" ".join(line.split()[3:5]) for line in listing}) == 1, listing
    manifest = json.loads(run("tar", "-xzOf", tarball, "MANIFEST.json"))["collection_info"]
    assert (manifest["namespace"], manifest["name"], manifest["version"]) == ("addbootentry", "uefi", version), \
        manifest
    module = "plugins/modules/boot_entry.py"
    assert run("tar", "-xzOf", tarball, module) == read(os.path.join(source, module))
    installed = os.path.join(work, "collections")
    run("ansible-galaxy", "collection", "install", "--offline", "-p", installed, tarball)
    doc = run("ansible-doc", "addbootentry.uefi.boot_entry", text=True,
              env=dict(os.environ, ANSIBLE_COLLECTIONS_PATH=installed, ANSIBLE_HOME=work))
    assert doc.startswith("> ADDBOOTENTRY.UEFI.BOOT_ENTRY") and "= loader" in doc, doc[:500]


def check_mkdeb_command(dist, args, work):
    """mkdeb.py run by hand, as its usage says, makes the release's very
    package (with the Linux program where the release has one); without
    SOURCE_DATE_EPOCH it says so in one line."""
    images, programs, version = images_of(args), programs_of(args), version_of(args)
    suffix = next(iter(programs), next(iter(images)))
    debarch = architectures.debian(suffix)
    command = [sys.executable, MKDEB, work, suffix, debarch, version, images[suffix]]
    if suffix in programs:
        command += ["--program", programs[suffix]]
    epoch = source_date_epoch(args[args.index("--source") + 1])
    made = run(*command, env=dict(os.environ, SOURCE_DATE_EPOCH=epoch), text=True).strip()
    deb = f"{PACKAGE}_{version}_{debarch}.deb"
    assert made == os.path.join(work, deb), made
    assert read(made) == read(os.path.join(dist, deb)), f"{deb} by hand differs from the release's"
    os.remove(made)
    for value in ("", "yesterday"):
        refused = subprocess.run(command, capture_output=True, text=True,
                                 env=dict(os.environ, SOURCE_DATE_EPOCH=value))
        assert refused.returncode == 1 and refused.stderr.startswith("mkdeb: SOURCE_DATE_EPOCH is ") \
            and refused.stderr.count("\n") == 1, (value, refused.stderr)
        assert not os.path.exists(made), made


def mkdist(out, args):
    return subprocess.run([sys.executable, MKDIST, out] + args, capture_output=True, text=True)


def check_signing(dist_sums, args, work):
    """A key pair of our own; then the same key with another certificate."""
    pairs = [key_pair(work, name) for name in ("db", "other")]
    unsigned = [a for i, a in enumerate(args) if a not in ("--key", "--cert")
                and (i == 0 or args[i - 1] not in ("--key", "--cert"))]
    out = os.path.join(work, "signed")
    made = mkdist(out, unsigned + ["--key", pairs[0][0], "--cert", pairs[0][1]])
    assert made.returncode == 0, made.stderr
    sums = check_folder(out, images_of(args), version_of(args), True, work, collection_of(args))
    for suffix in images_of(args):
        run("sbverify", "--cert", pairs[0][1], os.path.join(out, f"addbootentry{suffix}.efi.signed"))
    check_packages(out, images_of(args), version_of(args), programs_of(args), signed=True)
    if set(SHIM) <= set(images_of(args)):  # the notes name the very packages fetched
        notes = read(os.path.join(out, "NOTES.txt")).decode().splitlines()
        fetched = read(os.path.join(args[args.index("--shim") + 1], "versions")).decode()
        assert set(fetched.splitlines()) <= set(notes), (notes, fetched)
    # Signing changes the media and the packages (which gain the signed image)
    # and adds files; the rest is the unsigned release's.
    same = {line for line in dist_sums.splitlines() if not re.search(r"\.(img|iso|signed|deb)$", line)}
    assert same <= set(sums.splitlines()), (dist_sums, sums)
    refused = mkdist(out, unsigned + ["--key", pairs[0][0], "--cert", pairs[1][1]])
    assert refused.returncode != 0 and f"{pairs[0][0]} is not the private key of {pairs[1][1]}" in refused.stderr, \
        refused.stderr
    assert not [name for name in os.listdir(work) if name.startswith("signed")], os.listdir(work)


def sums_of(files):
    return "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files.items()).encode()


EARLIER = {"addbootentryold.efi": b"an image of an earlier release"}
# (what the folder holds beforehand, or None: a file there instead; the
# arguments after it; what the refusal says): refused, and the folder or
# file left as it was.
REFUSALS = [
    ({"notes.txt": b"mine"}, ["--source", "c", "--version", "1.0.0", "aa64=/nonexistent"],
     "is not an earlier release"),
    ({**EARLIER, "SHA256SUMS": sums_of(EARLIER), "notes.txt": b"mine"}, None, "is not an earlier release"),
    ({"addbootentryold.efi": b"changed since", "SHA256SUMS": sums_of(EARLIER)}, None, "is not an earlier release"),
    ({"SHA256SUMS": b"\xff\xfe"}, None, "is not an earlier release"),
    (None, None, "is not a folder"),
    ({}, ["--source", "c", "--version", "1.0.0", "aa64"], "'aa64': expected SUFFIX=IMAGE"),
    ({}, ["--source", "c", "--version", "1.0.0", "ppc=/nonexistent"], "no architecture 'ppc'"),
]


def snapshot(path):
    if os.path.isfile(path):
        return read(path)
    return {name: read(os.path.join(path, name)) for name in os.listdir(path)}


def check_refusals(args, work):
    """None as arguments: the build's own, which would make a release."""
    for number, (files, arguments, message) in enumerate(REFUSALS):
        victim = os.path.join(work, f"victim{number}")
        if files is None:
            with open(victim, "wb") as f:
                f.write(b"not a folder")
        else:
            os.makedirs(victim)
            for name, data in files.items():
                with open(os.path.join(victim, name), "wb") as f:
                    f.write(data)
        before = snapshot(victim)
        refused = mkdist(victim, args if arguments is None else arguments)
        assert refused.returncode != 0 and message in refused.stderr, (files, arguments, refused.stderr)
        assert "Traceback" not in refused.stderr, refused.stderr
        assert snapshot(victim) == before, (files, arguments, "the folder changed")


def main():
    dist, separator, args = sys.argv[1], sys.argv[2], sys.argv[3:]
    assert separator == "--", __doc__
    assert os.path.isdir(dist), f"no {dist}: cmake --build build --target dist"
    images, version = images_of(args), version_of(args)
    with tempfile.TemporaryDirectory() as work:
        sums = check_folder(dist, images, version, "--key" in args, work, collection_of(args))
        print("release folder: ok", flush=True)
        # Into the folder of an earlier release with a file this one has not, which must go.
        os.makedirs(os.path.join(work, "again"))
        for name, data in {**EARLIER, "SHA256SUMS": sums_of(EARLIER)}.items():
            with open(os.path.join(work, "again", name), "wb") as f:
                f.write(data)
        again = mkdist(os.path.join(work, "again"), args)
        assert again.returncode == 0, again.stderr
        assert set(os.listdir(os.path.join(work, "again"))) == set(os.listdir(dist)), "a stale file stayed"
        assert read(os.path.join(work, "again", "SHA256SUMS")).decode() == sums, "a second build differs"
        print("second build over an old one, same SHA256SUMS: ok", flush=True)
        check_packages(dist, images, version, programs_of(args))
        print("packages: ok", flush=True)
        if collection_of(args):
            check_collection(dist, collection_of(args), version, work)
            print("Ansible collection: ok", flush=True)
        check_mkdeb_command(dist, args, work)
        print("a package by hand: ok", flush=True)
        check_signing(sums, args, work)
        print("signing: ok", flush=True)
        check_refusals(args, work)
        print("refusals, nothing removed: ok", flush=True)


if __name__ == "__main__":
    main()
