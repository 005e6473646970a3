#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages) when it is missing. Quick when all
# is present. Packages are installed without their recommendations, so everything a tool only
# recommends but the tests need is named here too.
#   --clang   also the clang tool chain with the libFuzzer runtime (tools/fuzz.sh, build-clang)
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev googletest
  libcairo2-dev libfontconfig-dev libsdl2-dev
  # the fonts Cairo draws text with, and fontconfig's tools, which keep their cache at install
  # (without it every test process scans the font folders again)
  fonts-liberation fonts-dejavu-core fontconfig
  # the display the window tests run on (xvfb-run needs xauth, which xvfb only recommends), and
  # xwd, which captures it for the tests that compare it with the program's screen
  xvfb xauth x11-apps
  # xdotool sends the journeys' mouse and keys as real X input (XTest)
  xdotool
  # xmodmap gives the journeys' keyboard map keys for letters beyond ASCII before they are typed
  x11-xserver-utils
  # the independent simulators the reference tests compare with (analog; gate-level logic)
  ngspice
  iverilog
  # wmf2svg reads our metafiles; libwmf finds its fonts in fonts-urw-base35, only recommended
  libwmf-bin fonts-urw-base35
  # pdfinfo and pdftoppm read our printed pages
  poppler-utils
  # configparser reads the settings file in the settings tests
  python3
  # the Fourier transform the DSP pass and the Laplace sources use
  libfftw3-dev
  # the static archives the Release program links instead of shared libraries (cairo's and
  # fontconfig's own dependencies, named so that the link does not rest on what they pull in)
  libpng-dev zlib1g-dev libexpat1-dev libbrotli-dev
  # GNU time: the digital benchmark reads each run's CPU time and peak memory through it
  time
)
for a in "$@"; do
  case "$a" in
    # the sanitizer and fuzzer runtimes are only recommended by clang; llvm-14 symbolizes reports
    --clang) PACKAGES+=(clang libclang-rt-14-dev llvm-14) ;;
    *) echo "unknown option $a" >&2; exit 2 ;;
  esac
done

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
