#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Fetches what a Linux VM of the fleet test needs beside the kernel and
# busybox (tools/qemu/fetch-linux.sh): an SSH server (dropbear) and Python
# for Ansible's modules, with the C library and the libraries they link to,
# from Debian's packages of one architecture, unpacked into DIR/root:
# fetch-fleet.sh DIR DEBIAN_ARCH. The packages are named here rather than
# resolved, so that the VM carries no more than the server and Python's
# standard library use; Python's bytecode is compiled here once (it is the
# same on every architecture), not at every start of a module in the VM.
# APT runs with its own state under DIR (tools/apt-own-state.sh).
# Safe to run again: nothing happens once the root is there.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
arch=$2
root="$dir/root"
if [ -x "$root/usr/sbin/dropbear" ] && [ -f "$root/usr/lib/python3.11/.compiled" ]; then exit 0; fi

# shellcheck source=tools/apt-own-state.sh
. "$(dirname "$0")/../apt-own-state.sh"

PACKAGES="libc6 zlib1g libcrypt1 dropbear-bin libtomcrypt1 libtommath1 libgmp10
python3.11-minimal libpython3.11-minimal libpython3.11-stdlib libexpat1 libssl3 libffi8 libbz2-1.0
liblzma5 libuuid1"

echo "Fetching dropbear and Python for $arch into $dir"
apt_own_state "$dir" "$arch"
cd "$apt/download"
# shellcheck disable=SC2046
apt-get download -qq $(for p in $PACKAGES; do printf '%s:%s ' "$p" "$arch"; done)
rm -rf "$root"
for deb in ./*.deb; do dpkg -x "$deb" "$root"; done
ln -s python3.11 "$root/usr/bin/python3"
# What neither the server nor a module reads: documentation, character-set
# converters, Python's tests and tools.
rm -rf "${root:?}/usr/share" "$root"/usr/lib/*/gconv
for folder in test idlelib tkinter lib2to3 pydoc_data ensurepip turtledemo config-3.11-*; do
  rm -rf "$root/usr/lib/python3.11/$folder"
done
# Unchecked hashes: the initramfs gives every file the same time, which a
# time-stamped .pyc would take for a changed source.
python3.11 -m compileall -q -j 0 --invalidation-mode unchecked-hash \
  "$root/usr/lib/python3.11" >/dev/null
if [ ! -x "$root/usr/sbin/dropbear" ] || [ ! -x "$root/usr/bin/python3.11" ]; then
  echo "no dropbear or python in $root" >&2
  exit 1
fi
: >"$root/usr/lib/python3.11/.compiled"
