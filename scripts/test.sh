#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: an optimised build, and
# a build under AddressSanitizer and UndefinedBehaviorSanitizer; then a short
# game under valgrind. Warnings are errors in CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_BUILD_DIR:-$root/build}
werror=OFF
[ "${CI:-}" = true ] && werror=ON

bash "$root/scripts/setup.sh"

# Rendering tests run on Mesa behind SDL's offscreen driver: no display needed.
export SDL_VIDEODRIVER=offscreen

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTURFWAR_WERROR=$werror >/dev/null
cmake --build "$build"
# Each fuzz target briefly, in its own clang ASan+UBSan build (TURFWAR_SKIP_FUZZ=1 skips).
if [ "${TURFWAR_SKIP_FUZZ:-}" != 1 ]; then
  bash "$root/scripts/fuzz-smoke.sh"
fi

(cd "$build" && ctest --output-on-failure --timeout 300 -j "$(nproc)")

# Mesa's software driver leaks by design on every context it makes, so leak
# checking is left to valgrind below, which can tell Mesa's losses from ours;
# every other ASan and UBSan report fails the test.
# At -O1, as the sanitizers' makers advise: the suite runs in less than half
# the time it takes unoptimised, with assertions still on. Line tables (-g1)
# give the reports their file and line at two thirds of -g's compile time.
cmake -S "$root" -B "$build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
  -DCMAKE_C_FLAGS_DEBUG="-g1 -O1" -DTURFWAR_SANITIZE=ON -DTURFWAR_WERROR=$werror >/dev/null
cmake --build "$build-sanitize"
(cd "$build-sanitize" &&
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure --timeout 600 -j "$(nproc)")

# A short scripted game under valgrind: invalid accesses, uninitialised values
# and definite leaks anywhere in the game (scripts/memcheck.sh runs longer ones).
bash "$root/scripts/memcheck.sh" "$root/tests/replays/quick_tour.txt"
