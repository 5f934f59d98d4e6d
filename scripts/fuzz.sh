#!/usr/bin/env bash
# Builds the libFuzzer targets with clang's AddressSanitizer and
# UndefinedBehaviorSanitizer, replays each target's saved corpus
# (fuzz/corpus/<name>, for fuzz/fuzz_<name>.cpp), then fuzzes each one briefly.
#   FUZZ_SECONDS  seconds of fuzzing per target (default 30; 0 replays only)
# New inputs go to a scratch folder, not into the saved corpus; a crash leaves
# its input in the scratch folder and fails the script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-30}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTURFWAR_FUZZ=ON -DTURFWAR_SANITIZE=ON -DTURFWAR_TESTS=OFF >/dev/null
cmake --build "$build"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for source in "$root"/fuzz/fuzz_*.cpp; do
  name=$(basename "$source" .cpp)
  corpus=$root/fuzz/corpus/${name#fuzz_}
  target=$build/fuzz/$name
  mkdir -p "$scratch/$name"
  flags=(-rss_limit_mb=2048 -timeout=10 -artifact_prefix="$scratch/$name/")
  echo "fuzz: $name: replaying $corpus"
  if [ -d "$corpus" ] && ! "$target" "${flags[@]}" -runs=0 "$corpus" >"$scratch/$name.replay.log" 2>&1; then
    tail -n 30 "$scratch/$name.replay.log"
    status=1
    continue
  fi
  if [ "$seconds" -gt 0 ]; then
    echo "fuzz: $name: ${seconds} s"
    dirs=("$scratch/$name")
    [ -d "$corpus" ] && dirs+=("$corpus")
    if ! "$target" "${flags[@]}" -max_total_time="$seconds" -print_final_stats=1 "${dirs[@]}" \
        >"$scratch/$name.log" 2>&1; then
      tail -n 40 "$scratch/$name.log"
      echo "fuzz: $name failed; the input is kept in $build/fuzz-crashes"
      mkdir -p "$build/fuzz-crashes"
      cp "$scratch/$name"/crash-* "$scratch/$name"/leak-* "$scratch/$name"/timeout-* "$scratch/$name"/oom-* \
        "$build/fuzz-crashes/" 2>/dev/null || true
      status=1
      continue
    fi
    grep -E '^stat::number_of_executed_units' "$scratch/$name.log" | sed "s/^/fuzz: $name: /" || true
  fi
done
exit $status
