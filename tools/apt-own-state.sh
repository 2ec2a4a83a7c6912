# SPDX-License-Identifier: BSD-2-Clause-Patent
# shellcheck shell=sh
# Sourced by the scripts that fetch Debian packages of other architectures
# into the build: apt_own_state DIR ARCH... gives APT its own configuration,
# state and cache under DIR/apt, for those architectures, so that the
# machine's package architectures and package lists stay as they are. It
# exports APT_CONFIG, updates the package lists, and leaves an empty
# DIR/apt/download for `apt-get download`.
#
# With APT_SHARED_STATE set to a folder, that folder serves instead of
# DIR/apt, and the lists are updated only when an architecture is new to
# them: ./run-tests fetches six times in a row, and each update costs some
# seconds of a processor that the build is using. The fetches that share
# it must run one after another, and whoever sets it removes
# $APT_SHARED_STATE/architectures first, so that lists from an earlier run
# (whose packages Debian may have replaced since) are updated again.
apt_own_state() {
  apt="${APT_SHARED_STATE:-$1/apt}"
  shift
  mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/download"
  _apt_known=
  if [ -n "${APT_SHARED_STATE:-}" ] && [ -f "$apt/architectures" ]; then _apt_known=$(cat "$apt/architectures"); fi
  _apt_wanted=$(printf '%s\n' "$@" $_apt_known | sort -u)
  if [ "$_apt_wanted" != "$_apt_known" ]; then
    : >"$apt/state/status"
    _apt_architectures=$(for _apt_arch in $_apt_wanted; do printf '"%s"; ' "$_apt_arch"; done)
    cat >"$apt/apt.conf" <<CONF
APT::Architectures { $_apt_architectures};
Dir::State "$apt/state";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
CONF
    # As root, APT would hand downloads to the _apt user, who cannot write here.
    if [ "$(id -u)" -eq 0 ]; then echo 'APT::Sandbox::User "root";' >>"$apt/apt.conf"; fi
    rm -f "$apt/architectures"
    APT_CONFIG="$apt/apt.conf" apt-get update -qq
    printf '%s\n' "$_apt_wanted" >"$apt/architectures"
  fi
  export APT_CONFIG="$apt/apt.conf"
  rm -f "$apt/download/"*.deb
}
