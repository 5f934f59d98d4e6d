#!/usr/bin/env bash
# The real game on a virtual X display (Xvfb) with car.3ds missing, so an
# error box is up when the start reaches it: SIGTERM, and then SIGINT in a
# second run, end the game within 10 seconds with status 0, and the box (a
# process of its own under SDL's X11 driver) goes with it.
#
#   box_signal_test.sh GAME DATADIR
#
# Exits 77 (skipped) when Xvfb or xdotool is missing. Every wait is bounded.
set -u

game=${1:?usage: box_signal_test.sh GAME DATADIR}
data=${2:?usage: box_signal_test.sh GAME DATADIR}
title="Move: WASD, Fire: L Click, Run: Q, Enter/Exit Vehicle: E, Close: Escape"

. "$(dirname "$0")/../xvfb_display.sh"
require_tools Xvfb xdotool

start_scratch turfwar-signal
game_pid=""
box_pids=""
cleanup_test() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  for pid in $box_pids; do kill -KILL "$pid" 2>/dev/null; done
}
fail() {
  fail_with_logs "$*" game.err xvfb.log
}

start_xvfb

# The game's data without the car's body: its box is the first the start shows.
cp -r "$(cd "$data" && pwd)" "$tmp/data"
rm -f "$tmp/data/car.3ds"
game=$(cd "$(dirname "$game")" && pwd)/$(basename "$game")

xdo() {
  timeout -s KILL 5 env DISPLAY=":$display" xdotool "$@" 2>/dev/null
}
# The names of the visible windows other than the game's, one a line.
box_names() {
  for w in $(xdo search --onlyvisible --class ''); do
    name=$(xdo getwindowname "$w")
    [ -n "$name" ] && [ "$name" != "$title" ] && echo "$name"
  done
}

for signal in TERM INT; do
  env DISPLAY=":$display" SDL_VIDEODRIVER=x11 XDG_CONFIG_HOME="$tmp/none" \
    "$game" --data "$tmp/data" --windowed >/dev/null 2>"$tmp/game.err" &
  game_pid=$!

  shown=""
  deadline=$((SECONDS + 30))
  while [ "$SECONDS" -lt "$deadline" ]; do
    [ -n "$(box_names)" ] && shown=yes && break
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its box appeared"
    sleep 0.2
  done
  [ -n "$shown" ] || fail "no box within 30 seconds"
  box_pids=$(pgrep -P "$game_pid")

  kill -"$signal" "$game_pid"
  deadline=$((SECONDS + 10))
  while kill -0 "$game_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.1
  done
  kill -0 "$game_pid" 2>/dev/null && fail "SIG$signal did not end the game within 10 seconds of it"
  wait "$game_pid"
  status=$?
  game_pid=""
  [ "$status" -eq 0 ] || fail "the game ended with status $status after SIG$signal"
  for pid in $box_pids; do
    for _ in $(seq 20); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the box's process $pid outlived the game"
  done
  remaining=""
  for _ in $(seq 20); do
    remaining=$(box_names)
    [ -z "$remaining" ] && break
    sleep 0.1
  done
  [ -z "$remaining" ] || fail "a box is still shown after SIG$signal: $remaining"
  echo "SIG$signal ended the game and its box (box processes: ${box_pids:-none})"
done
