# SPDX-License-Identifier: BSD-2-Clause-Patent
# shellcheck shell=sh
# Sourced by the scripts that fetch Debian packages of other architectures
# into the build: apt_own_state DIR ARCH... gives APT its own configuration,
# state and cache under DIR/apt, for those architectures, so that the
# machine's package architectures and package lists stay as they are. It
# exports APT_CONFIG, updates the package lists, and leaves an empty
# DIR/apt/download for `apt-get download`.
apt_own_state() {
  apt="$1/apt"
  shift
  mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/download"
  : >"$apt/state/status"
  _apt_architectures=$(for _apt_arch in "$@"; do printf '"%s"; ' "$_apt_arch"; done)
  cat >"$apt/apt.conf" <<CONF
APT::Architectures { $_apt_architectures};
Dir::State "$apt/state";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
CONF
  # As root, APT would hand downloads to the _apt user, who cannot write here.
  if [ "$(id -u)" -eq 0 ]; then echo 'APT::Sandbox::User "root";' >>"$apt/apt.conf"; fi
  export APT_CONFIG="$apt/apt.conf"
  apt-get update -qq
  rm -f "$apt/download/"*.deb
}
