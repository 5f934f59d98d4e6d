#!/usr/bin/env bash
# Builds the libFuzzer targets with clang's AddressSanitizer and UBSan and
# gives each a short run: its saved corpus (fuzz/corpus/<name without fuzz_>)
# replayed first, then about 20 seconds of new inputs. New inputs go to a
# scratch folder, never into the saved corpus. Fails on any crash or finding.
#
#   bash scripts/fuzz-smoke.sh [TARGET...]   (default: every fuzz/fuzz_*.cpp)
#
# TURFWAR_FUZZ_SECONDS sets the run length per target (default 20);
# TURFWAR_FUZZ_BUILD_DIR the build folder (default build-fuzz; a folder
# already configured with TURFWAR_FUZZ=ON, such as the test script's
# sanitizer build, is used as it is);
# TURFWAR_FUZZ_JOBS how many targets run at once (default: one per core).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURFWAR_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${TURFWAR_FUZZ_SECONDS:-20}
jobs=${TURFWAR_FUZZ_JOBS:-$(nproc)}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$root"/fuzz/fuzz_*.cpp; do
    [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz-smoke: no fuzz targets"
  exit 0
fi

if ! grep -qs '^TURFWAR_FUZZ:BOOL=ON$' "$build/CMakeCache.txt"; then
  if [ -e "$build/CMakeCache.txt" ]; then
    echo "fuzz-smoke: $build is a build without the fuzz targets (TURFWAR_FUZZ=OFF); choose another folder" >&2
    exit 2
  fi
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTURFWAR_FUZZ=ON -DTURFWAR_SANITIZE=ON -DTURFWAR_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One target's run; its report goes to its own log, shown when it is done.
run_target() {
  local target=$1
  local corpus=$root/fuzz/corpus/${target#fuzz_}
  local seeds=()
  mkdir -p "$scratch/$target"
  [ -d "$corpus" ] && seeds=("$corpus")
  {
    echo "fuzz-smoke: $target for ${seconds}s after replaying ${seeds[*]:-no saved corpus}"
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$scratch/$target-" "$scratch/$target" "${seeds[@]}" >"$scratch/$target.run" 2>&1; then
      tail -n 60 "$scratch/$target.run"
      for artifact in "$scratch/$target"-*; do
        [ -e "$artifact" ] && echo "fuzz-smoke: $target finding, base64: $(base64 -w0 "$artifact")"
      done
      echo "fuzz-smoke: $target FAILED"
      return 1
    fi
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)' "$scratch/$target.run" || true
    echo "fuzz-smoke: $target ok"
  } >"$scratch/$target.log"
}

# The targets side by side, at most $jobs at a time; each one's report in
# one piece, in the order they finish.
failed=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  (status=0; run_target "$target" || status=$?; cat "$scratch/$target.log"; exit $status) &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
