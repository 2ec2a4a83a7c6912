#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The release's Ansible collection: `ansible-galaxy collection build` of a
copy of ansible/ansible_collections/NAMESPACE/NAME whose galaxy.yml carries
the release's version, then made reproducible: ansible-galaxy stamps the
tarball with the time of the build and each file with its own, so the tar
is written again, member for member and in the same order, with every time
SOURCE_DATE_EPOCH, and gzip's header without a time or a name.

Usage: mkcollection.py OUT_DIR SOURCE VERSION   (mkdist.py calls build())
"""
import gzip
import io
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile


class CollectionError(Exception):
    pass


def tarball_name(source, version):
    """NAMESPACE-NAME-VERSION.tar.gz, as ansible-galaxy names it, from galaxy.yml."""
    with open(os.path.join(source, "galaxy.yml")) as f:
        text = f.read()
    fields = {key: re.search(rf"^{key}: *(\S+)$", text, re.M) for key in ("namespace", "name")}
    if not all(fields.values()):
        raise CollectionError(f"{source}/galaxy.yml names no namespace or name")
    return f"{fields['namespace'].group(1)}-{fields['name'].group(1)}-{version}.tar.gz"


def _with_version(text, version):
    changed, count = re.subn(r"^version: *\S+$", f"version: {version}", text, flags=re.M)
    if count != 1:
        raise CollectionError("galaxy.yml has no one version line")
    return changed


def _repack(built, out, epoch):
    """The members of built, in order, with every time epoch, into out."""
    data = io.BytesIO()
    with tarfile.open(built, "r:gz") as original, tarfile.open(fileobj=data, mode="w",
                                                                format=tarfile.GNU_FORMAT) as copy:
        for member in original.getmembers():
            member.mtime = epoch
            copy.addfile(member, original.extractfile(member) if member.isfile() else None)
    with open(out, "wb") as f:
        with gzip.GzipFile(filename="", mode="wb", fileobj=f, mtime=epoch) as packed:
            packed.write(data.getvalue())


def build(out_dir, source, version, epoch):
    """Writes the collection's tarball into out_dir; returns its path."""
    if not shutil.which("ansible-galaxy"):
        raise CollectionError("ansible-galaxy not found (tools/setup.sh installs Debian's ansible-core)")
    name = tarball_name(source, version)
    with tempfile.TemporaryDirectory(prefix="collection-") as work:
        copy = os.path.join(work, "collection")
        # Links are followed: the licence is the repository's.
        shutil.copytree(source, copy, ignore=shutil.ignore_patterns("__pycache__", "output"))
        with open(os.path.join(copy, "galaxy.yml")) as f:
            text = _with_version(f.read(), version)
        with open(os.path.join(copy, "galaxy.yml"), "w") as f:
            f.write(text)
        r = subprocess.run(["ansible-galaxy", "collection", "build", "--output-path", work, copy],
                           capture_output=True, text=True)
        if r.returncode != 0 or not os.path.isfile(os.path.join(work, name)):
            raise CollectionError(f"ansible-galaxy collection build: {(r.stderr or r.stdout).strip()}")
        _repack(os.path.join(work, name), os.path.join(out_dir, name), int(epoch))
    return os.path.join(out_dir, name)


if __name__ == "__main__":
    try:
        print(build(sys.argv[1], sys.argv[2], sys.argv[3], os.environ.get("SOURCE_DATE_EPOCH", "0")))
    except CollectionError as e:
        sys.exit(f"mkcollection: {e}")
