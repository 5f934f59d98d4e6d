#!/usr/bin/env bash
# Includes point down: math at the bottom, then assets (and audio), physics,
# the simulation and text, game, and app at the top. The build already
# refuses an upward include; this names every one at once, and also SDL
# outside app/, GL in math/, physics/ and sim/, and sound in sim/.
# Usage: includes_point_down.sh SOURCE_DIR
set -euo pipefail
cd "$1"
declare -A rank=([math]=0 [assets]=1 [audio]=1 [physics]=2 [sim]=3 [text]=3 [game]=4 [app]=5)
found=0
for folder in "${!rank[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$line")
    if [ -n "${rank[$target]+x}" ] && [ "${rank[$target]}" -gt "${rank[$folder]}" ]; then
      echo "$file includes $target/: $folder/ is below $target/"
      found=1
    fi
  done < <(grep -nE '#include "[a-z]+/' "$folder"/*.cpp "$folder"/*.h 2>/dev/null || true)
done
if grep -nE '#include <SDL' math/* assets/* physics/* sim/* text/* game/* 2>/dev/null; then
  echo "SDL belongs to app/ only"
  found=1
fi
if grep -nE '#include <GL/' math/* physics/* sim/* 2>/dev/null; then
  echo "math/, physics/ and sim/ draw nothing"
  found=1
fi
if grep -nE '#include <AL/|#include <sndfile' sim/* 2>/dev/null; then
  echo "sim/ plays nothing"
  found=1
fi
exit $found
