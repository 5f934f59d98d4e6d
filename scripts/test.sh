#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: an optimised build with
# GCC, and a clang build under AddressSanitizer and UndefinedBehaviorSanitizer
# that also gives each fuzz target a short run; then a short game under
# valgrind. Warnings are errors in CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_BUILD_DIR:-$root/build}
werror=OFF
[ "${CI:-}" = true ] && werror=ON

bash "$root/scripts/setup.sh"

# Rendering tests run on Mesa behind SDL's offscreen driver: no display needed.
export SDL_VIDEODRIVER=offscreen

# Through ccache, a tree built before on this machine (CI again, a rerun
# after a small change) compiles only what changed; its base directory lets
# clones in other folders share the cache.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTURFWAR_WERROR=$werror "${launcher[@]}" >/dev/null
# The tests' precompiled header: GCC's is taken from the cache when the
# macros and headers it was made from are the same. Clang's records its
# headers' times, so the clang build below keeps ccache's default and
# compiles its test files afresh.
CCACHE_SLOPPINESS=pch_defines,time_macros cmake --build "$build"
(cd "$build" && ctest --output-on-failure --timeout 300 -j "$(nproc)")

# Mesa's software driver leaks by design on every context it makes, so leak
# checking is left to valgrind below, which can tell Mesa's losses from ours;
# every other ASan and UBSan report fails the test.
# At -O1, as the sanitizers' makers advise: the suite runs in less than half
# the time it takes unoptimised, with assertions still on. Line tables (-g1)
# give the reports their file and line at two thirds of -g's compile time.
# With clang, so the same build holds the fuzz targets, and every file is
# compiled, warnings and all, by both compilers.
if [ -e "$build-sanitize/CMakeCache.txt" ] && ! grep -qs '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$build-sanitize/CMakeCache.txt"; then
  echo "test: $build-sanitize was configured with another compiler; making it afresh"
  rm -rf "$build-sanitize"
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" -DCMAKE_C_FLAGS_DEBUG="-g1 -O1" -DTURFWAR_SANITIZE=ON -DTURFWAR_FUZZ=ON \
  -DTURFWAR_WERROR=$werror "${launcher[@]}" >/dev/null
cmake --build "$build-sanitize"
(cd "$build-sanitize" &&
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure --timeout 600 -j "$(nproc)")
# Each fuzz target briefly on its saved corpus (TURFWAR_SKIP_FUZZ=1 skips).
if [ "${TURFWAR_SKIP_FUZZ:-}" != 1 ]; then
  TURFWAR_FUZZ_BUILD_DIR="$build-sanitize" bash "$root/scripts/fuzz-smoke.sh"
fi

# A short scripted game under valgrind: invalid accesses, uninitialised values
# and definite leaks anywhere in the game (scripts/memcheck.sh runs longer ones).
bash "$root/scripts/memcheck.sh" "$root/tests/replays/quick_tour.txt"
