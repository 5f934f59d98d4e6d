#!/usr/bin/env bash
# Sets up, builds, prepares the game data and starts Turfwar in its data folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_BUILD_DIR:-$root/build}

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target turfwar game_data
cd "$build/game"
exec "$build/turfwar"
