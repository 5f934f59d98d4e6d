#!/usr/bin/env bash
# Prints one line per input: a digest of everything turfwar-inspect says about
# it (standard output, standard error and exit status), then the input's name.
# The inputs are every file of every saved fuzz corpus and of the built game
# data, images also with --pixels. Two runs compared with diff show whether a
# change to the loaders changed anything they read:
#
#   bash scripts/inspect-digests.sh > before.txt
#   ... change, rebuild ...
#   bash scripts/inspect-digests.sh | diff before.txt -
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_BUILD_DIR:-$root/build}
inspect=$build/turfwar-inspect
# A fixed folder: a model's texture names carry its folder into the output.
scratch=$build/inspect-digests
rm -rf "$scratch"
mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT

# The tool picks the format by the name's extension; corpus files have none.
digest() {  # FILE NAME [OPTION]
  local copy="$scratch/input.${2##*.}"
  cp "$1" "$copy"
  local status=0
  "$inspect" ${3:+"$3"} "$copy" >"$scratch/out" 2>"$scratch/err" || status=$?
  # Where the build is is not part of what was read.
  sed -i "s#$scratch#SCRATCH#g" "$scratch/out" "$scratch/err"
  { cat "$scratch/out"; echo "--"; cat "$scratch/err"; echo "-- $status"; } | sha256sum | cut -c1-16
}

for format in 3ds ms3d bmp tga; do
  for file in "$root"/fuzz/corpus/"$format"/*; do
    [ -f "$file" ] || continue
    name=corpus/$format/$(basename "$file").$format
    echo "$(digest "$file" "$name") $name"
    case $format in bmp|tga) echo "$(digest "$file" "$name" --pixels) $name --pixels" ;; esac
  done
done
(cd "$build/game" && find . -type f \( -name '*.3ds' -o -name '*.ms3d' -o -name '*.bmp' -o -name '*.tga' \) | sort) |
  while read -r file; do
    name=game/${file#./}
    echo "$(digest "$build/game/$file" "$name") $name"
    case $file in *.bmp|*.tga) echo "$(digest "$build/game/$file" "$name" --pixels) $name --pixels" ;; esac
  done
