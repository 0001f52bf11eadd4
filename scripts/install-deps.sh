#!/usr/bin/env bash
# Installs, with apt-get, only the Debian packages that are missing for building,
# running and testing wirelab and monitorcfg. Safe to run again and again.
# Usage: install-deps.sh [--packaging | --screenshots]
#   --packaging    only what make package and make package-check need
#   --screenshots  only what scripts/screenshots.sh needs besides the build
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-declarative-dev qt6-serialport-dev libgl-dev
  libqt6serialport6
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libgtest-dev libgmock-dev
  clang libclang-rt-dev
  xvfb xauth socat iproute2 util-linux python3 help2man
  fonts-dejavu-core fonts-wqy-microhei fonts-freefont-ttf
  nodejs
  # OpenSSL: the core reads keys with it; the TLS tests make certificates with openssl
  libssl-dev openssl
)
# The .deb (CPack with dpkg-shlibdeps, which needs file) and its checks
# (systemd for systemd-analyze verify).
PACKAGING_PACKAGES=(
  dpkg-dev file lintian desktop-file-utils appstream systemd debootstrap util-linux
)
SCREENSHOT_PACKAGES=(
  xvfb xauth xdotool x11-apps netpbm
)

case "${1:-}" in
  "") ;;
  --packaging) PACKAGES=("${PACKAGING_PACKAGES[@]}") ;;
  --screenshots) PACKAGES=("${SCREENSHOT_PACKAGES[@]}") ;;
  *) echo "usage: $0 [--packaging | --screenshots]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root (or: sudo $0) to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
