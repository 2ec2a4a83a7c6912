#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Fetches Debian's shim, signed by Microsoft, and its MokManager, signed by
# Debian, for the architectures that have them, and unpacks them into a folder of the build:
# fetch-shim.sh DIR. A release made with a signing key starts through them on
# x64 and aa64 (tools/release/mkdist.py); DIR/versions names the packages'
# versions for the release's notes. APT runs with its own configuration,
# state and cache under DIR, so the machine's package architectures and
# package lists stay as they are. Safe to run again: nothing happens once the
# files are there.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$dir/versions" ] && exit 0
# The table of architectures names the packages (package:architecture).
packages=$(python3 "$(dirname "$0")/../architectures.py" shim | tr '\n' ' ')
architectures=$(for p in $packages; do echo "${p##*:}"; done | sort -u | sed 's/.*/"&"; /' | tr -d '\n')

apt="$dir/apt"
mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/download"
: >"$apt/state/status"
cat >"$apt/apt.conf" <<CONF
APT::Architectures { $architectures};
Dir::State "$apt/state";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
CONF
# As root, APT would hand downloads to the _apt user, who cannot write here.
[ "$(id -u)" -eq 0 ] && echo 'APT::Sandbox::User "root";' >>"$apt/apt.conf"

echo "Fetching $packages into $dir"
APT_CONFIG="$apt/apt.conf" apt-get update -qq
rm -rf "$apt/download/"*.deb "$dir/root"
# shellcheck disable=SC2086 # one word per package
(cd "$apt/download" && APT_CONFIG="$apt/apt.conf" apt-get download -qq $packages)
: >"$dir/versions.partial"
for deb in "$apt/download/"*.deb; do
  dpkg -x "$deb" "$dir/root"
  # shellcheck disable=SC2016 # dpkg-deb's fields, not the shell's
  dpkg-deb -W --showformat='${Package}:${Architecture} ${Version}\n' "$deb" >>"$dir/versions.partial"
done
mv "$dir/versions.partial" "$dir/versions"
