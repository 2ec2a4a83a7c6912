#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Fetches Debian's U-Boot for the Raspberry Pi (u-boot-rpi, built for arm64
# only) and unpacks it into a folder of the build: fetch-rpi-firmware.sh DIR.
# APT runs with its own configuration, state and cache under DIR, so the
# machine's package architectures and package lists stay as they are.
# Safe to run again: nothing happens once the firmware is there.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
firmware="$dir/root/usr/lib/u-boot/rpi_3/u-boot.bin"
[ -f "$firmware" ] && exit 0

apt="$dir/apt"
mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/download"
: >"$apt/state/status"
cat >"$apt/apt.conf" <<CONF
APT::Architectures { "arm64"; };
Dir::State "$apt/state";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
CONF
# As root, APT would hand downloads to the _apt user, who cannot write here.
[ "$(id -u)" -eq 0 ] && echo 'APT::Sandbox::User "root";' >>"$apt/apt.conf"

echo "Fetching u-boot-rpi:arm64 into $dir"
APT_CONFIG="$apt/apt.conf" apt-get update -qq
rm -f "$apt/download/"*.deb
(cd "$apt/download" && APT_CONFIG="$apt/apt.conf" apt-get download -qq u-boot-rpi:arm64)
dpkg -x "$apt/download/"u-boot-rpi_*.deb "$dir/root"
[ -f "$firmware" ] || { echo "u-boot-rpi holds no $firmware" >&2; exit 1; }
