#!/usr/bin/env bash
# The real game on a virtual X display (Xvfb), started from another folder
# with --data, --windowed and a frame cap, and a settings file in
# XDG_CONFIG_HOME: the game window appears, titled with the quit key the
# file binds, with no start question and no error box (so the data was
# found in the --data folder), the settings
# file's complaint reaches stderr, and SIGTERM ends the game with status 0.
#
#   game_start_test.sh GAME DATADIR
#
# Exits 77 (skipped) when Xvfb or xdotool is missing. Every wait is bounded.
set -u

game=${1:?usage: game_start_test.sh GAME DATADIR}
data=${2:?usage: game_start_test.sh GAME DATADIR}
# The settings file binds quit to F1, which the title names.
title="Move: WASD, Fire: L Click, Run: Q, Enter/Exit Vehicle: E, Close: F1"

. "$(dirname "$0")/../xvfb_display.sh"
require_tools Xvfb xdotool

start_scratch turfwar-start
game_pid=""
cleanup_test() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
}
fail() {
  fail_with_logs "$*" game.out game.err xvfb.log
}

start_xvfb

mkdir -p "$tmp/config/turfwar" "$tmp/elsewhere"
printf '[video]\nmax_fps = 30\nvsync = "off"\n[audio]\nvolume = 500\n[keys]\nquit = "F1"\n' >"$tmp/config/turfwar/settings.toml"
data=$(cd "$data" && pwd)
game=$(cd "$(dirname "$game")" && pwd)/$(basename "$game")

# Started from an empty folder: only --data can lead it to the data. env
# execs the game, so $! is the game itself.
launch() {
  env -C "$tmp/elsewhere" DISPLAY=":$display" SDL_VIDEODRIVER=x11 XDG_CONFIG_HOME="$tmp/config" \
    "$game" --data "$data" --windowed >"$tmp/game.out" 2>"$tmp/game.err" &
  game_pid=$!
}
xdo() {
  timeout -s KILL 5 env DISPLAY=":$display" xdotool "$@" 2>/dev/null
}

# The names of the visible windows, one a line.
window_names() {
  for w in $(xdo search --onlyvisible --class ''); do
    xdo getwindowname "$w"
  done
}

launch
# Now and then SDL cannot reach a display that has just started ("x11 not
# available"), and the game shows its error box; such a start is tried once
# more, any other failure is final. The box of the first start can outlive
# its process for a moment, so the second waits until it has gone.
relaunched=""
retry_start() {
  [ -z "$relaunched" ] && grep -q "x11 not available" "$tmp/game.err" || return 1
  echo "the game could not reach the display; starting it once more"
  kill -KILL "$game_pid" 2>/dev/null
  wait "$game_pid" 2>/dev/null
  for _ in $(seq 50); do
    [ -z "$(window_names)" ] && break
    sleep 0.1
  done
  relaunched=yes
  launch
}

# Any window that is not the game's is a box (a question or an error).
found=""
deadline=$((SECONDS + 30))
while [ "$SECONDS" -lt "$deadline" ]; do
  for w in $(xdo search --onlyvisible --class ''); do
    name=$(xdo getwindowname "$w")
    if [ "$name" = "$title" ]; then
      found=yes
    elif [ -n "$name" ]; then
      retry_start && continue 2
      fail "a box appeared: \"$name\""
    fi
  done
  [ -n "$found" ] && break
  kill -0 "$game_pid" 2>/dev/null || retry_start || fail "the game ended before its window appeared"
  sleep 0.2
done
[ -n "$found" ] || fail "no game window within 30 seconds"

# Let it run a little (capped), then ask it to close as a desktop would.
sleep 2
kill -0 "$game_pid" 2>/dev/null || fail "the game ended on its own"
kill -TERM "$game_pid"
deadline=$((SECONDS + 10))
while kill -0 "$game_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
  sleep 0.1
done
kill -0 "$game_pid" 2>/dev/null && fail "the game did not close within 10 seconds of SIGTERM"
wait "$game_pid"
status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status after SIGTERM"

grep -qF "Start FullScreen?" "$tmp/game.err" && fail "the start question was asked"
grep -qF "settings.toml:5:10: audio.volume: 500 is out of range" "$tmp/game.err" ||
  fail "the settings file's complaint is not on stderr"
echo "the game started from another folder with --data and --windowed, without a question, and closed on SIGTERM"
