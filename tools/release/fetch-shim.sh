#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Fetches Debian's shim, signed by Microsoft, and its MokManager, signed by
# Debian, for the architectures that have them, and unpacks them into a folder of the build:
# fetch-shim.sh DIR. A release made with a signing key starts through them on
# x64 and aa64 (tools/release/mkdist.py); DIR/versions names the packages'
# versions for the release's notes. APT runs with its own state under DIR
# (tools/apt-own-state.sh). Safe to run again: nothing happens once the
# files are there.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$dir/versions" ] && exit 0
# The table of architectures names the packages (package:architecture).
packages=$(python3 "$(dirname "$0")/../architectures.py" shim | tr '\n' ' ')
architectures=$(for p in $packages; do echo "${p##*:}"; done | sort -u)

# shellcheck source=tools/apt-own-state.sh
. "$(dirname "$0")/../apt-own-state.sh"

echo "Fetching $packages into $dir"
# shellcheck disable=SC2086 # one word per architecture
apt_own_state "$dir" $architectures
rm -rf "$dir/root"
# shellcheck disable=SC2086 # one word per package
(cd "$apt/download" && apt-get download -qq $packages)
: >"$dir/versions.partial"
for deb in "$apt/download/"*.deb; do
  dpkg -x "$deb" "$dir/root"
  # shellcheck disable=SC2016 # dpkg-deb's fields, not the shell's
  dpkg-deb -W --showformat='${Package}:${Architecture} ${Version}\n' "$deb" >>"$dir/versions.partial"
done
mv "$dir/versions.partial" "$dir/versions"
