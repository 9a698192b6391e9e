#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages needed to build, run and test the program.
# Needs root (it runs apt-get); run it with sudo as a normal user.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libsystemd-dev libudev-dev
  libgtest-dev googletest libbenchmark-dev
  xvfb xauth imagemagick x11-apps desktop-file-utils dpkg-dev file
  lintian appstream
  clang libclang-rt-14-dev clang-format
  tzdata
  libmosquitto-dev mosquitto openssl
  logrotate
  systemd
  qt6-httpserver-dev qt6-websockets-dev chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "All build and test packages are installed."
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Installing ${missing[*]} needs root: run 'sudo $0'." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
