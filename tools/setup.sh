#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Installs the Debian packages that building, running and testing need.
# Safe to run again: only missing packages are installed.
set -eu

PACKAGES="cmake make clang clang-format lld llvm libclang-rt-14-dev googletest libgtest-dev libgmock-dev
qemu-system-arm qemu-efi-aarch64 u-boot-qemu qemu-system-x86 ovmf ovmf-ia32 qemu-efi-arm
qemu-system-misc opensbi gdisk dosfstools mtools
python3 python3-pexpect file openssl sbsigntool efitools
python3-pyte python3-pil xorriso lintian
ansible-core python3-distlib openssh-client
libc6-dev-arm64-cross libstdc++-12-dev-arm64-cross libgcc-12-dev-arm64-cross"

missing=""
for package in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
echo "Installing:$missing"
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
