#!/usr/bin/env bash
# Sets up the machine and builds the program into build/ (or the folder in BUILD_DIR).
# Pass --sanitize for an AddressSanitizer/UndefinedBehaviorSanitizer build
# (KQ5_DEBUG_FLAGS overrides its "-O1 -g").
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
SANITIZE=OFF
BUILD_TYPE=RelWithDebInfo
for a in "$@"; do
  case "$a" in
    --sanitize) SANITIZE=ON; BUILD_TYPE=Debug ;;
    *) echo "unknown option $a" >&2; exit 2 ;;
  esac
done

# CC=clang CXX=clang++ (with a BUILD_DIR of its own) builds with clang.
SETUP=()
case "${CXX:-}" in *clang*) SETUP=(--clang) ;; esac
bash tools/setup.sh "${SETUP[@]}"

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" -DKQ5_SANITIZE="$SANITIZE" \
  -DCMAKE_CXX_FLAGS_DEBUG="${KQ5_DEBUG_FLAGS:--O1 -g}"
cmake --build "$BUILD_DIR" -j "$(nproc)"
