#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Warnings are errors in CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_BUILD_DIR:-$root/build}
werror=OFF
[ "${CI:-}" = true ] && werror=ON

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTURFWAR_WERROR=$werror >/dev/null
cmake --build "$build"
cd "$build"
# Rendering tests run on Mesa behind SDL's offscreen driver: no display needed.
SDL_VIDEODRIVER=offscreen ctest --output-on-failure --timeout 300 -j "$(nproc)"
# The decoders' fuzz targets, briefly, in their own sanitised clang build.
cd "$root"
bash "$root/scripts/fuzz.sh"
