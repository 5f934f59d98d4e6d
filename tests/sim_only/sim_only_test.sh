#!/usr/bin/env bash
# The simulation runs alone: its window-free program links no OpenGL, SDL or
# OpenAL, and stepping it through the commands of a replayed script reaches
# the same player, car, weapon and projectile states as the game did.
# Usage: sim_only_test.sh BUILD_DIR SCRIPT [REPLAY_OPTION...]
set -euo pipefail
build=$1
script=$2
shift 2
run="$build/tests/sim_only_run"
if ldd "$run" | grep -E 'lib(GL|GLU|GLX|OpenGL|EGL|SDL2|openal)[.-]'; then
  echo "the simulation links a library of the picture or the sound"
  exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/turfwar-replay" --data "$build/game" "$@" --record-commands "$scratch/commands.txt" "$script" >"$scratch/states.jsonl"
"$run" "$build/game" "$scratch/commands.txt" "$scratch/states.jsonl"
