#!/usr/bin/env bash
# Installs what the build needs (Debian packages) when it is missing. Quick when all is present.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev googletest
  libcairo2-dev libfontconfig-dev libsdl2-dev fonts-liberation fonts-dejavu-core
  xvfb xauth x11-apps ngspice libwmf-bin poppler-utils python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
