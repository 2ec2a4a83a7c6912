#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Fetches Debian's kernel and busybox-static for one Debian architecture and
# unpacks them into a folder of the build: fetch-linux.sh DIR DEBIAN_ARCH.
# APT runs with its own configuration, state and cache under DIR, so the
# machine's package architectures and package lists stay as they are.
# Safe to run again: nothing happens once both are there.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
arch=$2
root="$dir/root"
if ls "$root"/boot/vmlinuz-* >/dev/null 2>&1 && [ -x "$root/bin/busybox" ]; then exit 0; fi

apt="$dir/apt"
mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/download"
: >"$apt/state/status"
cat >"$apt/apt.conf" <<CONF
APT::Architectures { "$arch"; };
Dir::State "$apt/state";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
CONF
# As root, APT would hand downloads to the _apt user, who cannot write here.
[ "$(id -u)" -eq 0 ] && echo 'APT::Sandbox::User "root";' >>"$apt/apt.conf"

echo "Fetching linux-image-$arch and busybox-static:$arch into $dir"
export APT_CONFIG="$apt/apt.conf"
apt-get update -qq
rm -f "$apt/download/"*.deb
cd "$apt/download"
apt-get download -qq "linux-image-$arch:$arch" "busybox-static:$arch"
# The metapackage names the kernel of the day.
kernel=$(dpkg-deb -f linux-image-"$arch"_*.deb Depends | tr ',' '\n' | grep -o "linux-image-[0-9][^ ]*-$arch" | head -n1)
apt-get download -qq "$kernel:$arch"
for deb in "$kernel"_*.deb busybox-static_*.deb; do dpkg -x "$deb" "$root"; done
ls "$root"/boot/vmlinuz-* >/dev/null && [ -x "$root/bin/busybox" ] || { echo "no kernel or busybox in $root" >&2; exit 1; }
