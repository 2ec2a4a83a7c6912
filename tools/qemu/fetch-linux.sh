#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Fetches Debian's kernel and busybox-static for one Debian architecture and
# unpacks them into a folder of the build: fetch-linux.sh DIR DEBIAN_ARCH.
# APT runs with its own state under DIR (tools/apt-own-state.sh).
# Safe to run again: nothing happens once both are there.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
arch=$2
root="$dir/root"
if ls "$root"/boot/vmlinuz-* >/dev/null 2>&1 && [ -x "$root/bin/busybox" ]; then exit 0; fi

# shellcheck source=tools/apt-own-state.sh
. "$(dirname "$0")/../apt-own-state.sh"

echo "Fetching linux-image-$arch and busybox-static:$arch into $dir"
apt_own_state "$dir" "$arch"
cd "$apt/download"
apt-get download -qq "linux-image-$arch:$arch" "busybox-static:$arch"
# The metapackage names the kernel of the day.
kernel=$(dpkg-deb -f linux-image-"$arch"_*.deb Depends | tr ',' '\n' | grep -o "linux-image-[0-9][^ ]*-$arch" | head -n1)
apt-get download -qq "$kernel:$arch"
for deb in "$kernel"_*.deb busybox-static_*.deb; do dpkg -x "$deb" "$root"; done
ls "$root"/boot/vmlinuz-* >/dev/null && [ -x "$root/bin/busybox" ] || { echo "no kernel or busybox in $root" >&2; exit 1; }
