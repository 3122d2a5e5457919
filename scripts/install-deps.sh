#!/usr/bin/env bash
# Installs what the build, the tests, `make run` and `make package` need from
# Debian's packages (dpkg-dev and file for the package's dependencies; lintian,
# desktop-file-utils and appstream check the package).
# Does nothing when everything is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
  libgtest-dev libbenchmark-dev
  libusb-1.0-0-dev umockdev libumockdev-dev
  xvfb xauth x11vnc openbox x11-utils imagemagick fonts-dejavu-core
  python3 python3-pyvisa python3-pyvisa-py
  dpkg-dev file lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
