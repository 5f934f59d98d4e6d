#!/usr/bin/env bash
# Plays a scripted game (turfwar-replay) under valgrind's memcheck and fails on
# any invalid read or write, any use of an uninitialised value that reaches a
# decision, and any definitely lost block. System libraries' own findings
# (the dynamic loader, EGL and Mesa, which also leaks per GL context) are
# suppressed by scripts/valgrind.supp; nothing of ours is.
#
#   bash scripts/memcheck.sh [SCRIPT]     (default tests/replays/every_feature.txt)
#
# TURFWAR_BUILD_DIR names the build folder (default build); it must hold
# turfwar-replay and the game data in game/. Mesa's softpipe rasteriser is
# used: llvmpipe's JIT only slows valgrind further.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_BUILD_DIR:-$root/build}
script=$(realpath "${1:-$root/tests/replays/every_feature.txt}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "memcheck: $(basename "$script") under valgrind"
status=0
SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=softpipe LP_NUM_THREADS=0 \
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --keep-debuginfo=yes --num-callers=40 --track-fds=no --error-exitcode=99 \
    --suppressions="$root/scripts/valgrind.supp" --log-file="$work/memcheck.log" \
    "$build/turfwar-replay" "$script" --data "$build/game" >"$work/replay.out" || status=$?
if [ "$status" -ne 0 ]; then
  cat "$work/memcheck.log"
  [ "$status" -eq 99 ] && echo "memcheck: FAILED: valgrind found errors" || echo "memcheck: FAILED: turfwar-replay ended with status $status"
  exit 1
fi
grep -E "ERROR SUMMARY|definitely lost|suppressed:" "$work/memcheck.log" | sed 's/^==[0-9]*== /memcheck: /'
echo "memcheck: ok"
