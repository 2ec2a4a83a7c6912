#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Fetches Debian's U-Boot for the Raspberry Pi (u-boot-rpi, built for arm64
# only) and unpacks it into a folder of the build: fetch-rpi-firmware.sh DIR.
# APT runs with its own state under DIR (tools/apt-own-state.sh).
# Safe to run again: nothing happens once the firmware is there.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
firmware="$dir/root/usr/lib/u-boot/rpi_3/u-boot.bin"
[ -f "$firmware" ] && exit 0

# shellcheck source=tools/apt-own-state.sh
. "$(dirname "$0")/../apt-own-state.sh"

echo "Fetching u-boot-rpi:arm64 into $dir"
apt_own_state "$dir" arm64
(cd "$apt/download" && apt-get download -qq u-boot-rpi:arm64)
dpkg -x "$apt/download/"u-boot-rpi_*.deb "$dir/root"
[ -f "$firmware" ] || { echo "u-boot-rpi holds no $firmware" >&2; exit 1; }
