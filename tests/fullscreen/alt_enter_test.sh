#!/usr/bin/env bash
# Full screen at the desktop's resolution, on a virtual X display (Xvfb,
# 1024 x 768) with a window manager (openbox: full screen without a mode
# change is a request to the window manager, which Xvfb alone does not
# honour): --fullscreen --fullscreen-mode desktop opens the game over the
# whole screen, Alt+Enter puts it in an 800 x 600 window and Alt+Enter again
# back over the screen, and SIGTERM then ends it with status 0.
#
#   alt_enter_test.sh GAME DATADIR
#
# Exits 77 (skipped) when Xvfb, xdotool or openbox is missing. Every wait is bounded.
set -u

game=${1:?usage: alt_enter_test.sh GAME DATADIR}
data=${2:?usage: alt_enter_test.sh GAME DATADIR}
title="Move: WASD, Fire: L Click, Run: Q, Enter/Exit Vehicle: E, Close: Escape"

. "$(dirname "$0")/../xvfb_display.sh"
require_tools Xvfb xdotool openbox

start_scratch turfwar-fullscreen
wm_pid=""
game_pid=""
cleanup_test() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill -TERM "$wm_pid" 2>/dev/null
}
fail() {
  fail_with_logs "$*" game.out game.err wm.log xvfb.log
}

start_xvfb

xdo() {
  timeout -s KILL 5 env DISPLAY=":$display" xdotool "$@" 2>/dev/null
}

# The window manager, with a configuration folder of its own so that no
# user's openbox settings take part.
mkdir -p "$tmp/config" "$tmp/elsewhere"
env DISPLAY=":$display" XDG_CONFIG_HOME="$tmp/config" openbox >"$tmp/wm.log" 2>&1 &
wm_pid=$!
sleep 1
kill -0 "$wm_pid" 2>/dev/null || fail "openbox did not start"

data=$(cd "$data" && pwd)
game=$(cd "$(dirname "$game")" && pwd)/$(basename "$game")
env -C "$tmp/elsewhere" DISPLAY=":$display" SDL_VIDEODRIVER=x11 XDG_CONFIG_HOME="$tmp/config" \
  "$game" --data "$data" --fullscreen --fullscreen-mode desktop --mute --max-fps 30 --vsync off \
  >"$tmp/game.out" 2>"$tmp/game.err" &
game_pid=$!

window=""
for _ in $(seq 150); do
  window=$(xdo search --onlyvisible --name "^${title}\$" | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
  sleep 0.2
done
[ -n "$window" ] || fail "no game window within 30 seconds"

# Waits (boundedly) until the window has the size WxH.
wait_for_size() {
  local want=$1 size=""
  for _ in $(seq 50); do
    size=$(xdo getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')
    [ "$size" = "$want" ] && return 0
    sleep 0.1
  done
  fail "the window is $size, not $want, after $2"
}

wait_for_size 1024x768 "starting full screen at the desktop's resolution"
xdo windowactivate --sync "$window"
xdo key alt+Return
wait_for_size 800x600 "Alt+Enter from full screen"
xdo key alt+Return
wait_for_size 1024x768 "Alt+Enter from the window"

kill -0 "$game_pid" 2>/dev/null || fail "the game ended on its own"
kill -TERM "$game_pid"
for _ in $(seq 100); do
  kill -0 "$game_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$game_pid" 2>/dev/null && fail "the game did not close within 10 seconds of SIGTERM"
wait "$game_pid"
status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status after SIGTERM"
grep -qF "Mode Switch Failed" "$tmp/game.err" && fail "desktop full screen tried to switch the display mode"
echo "full screen at 1024 x 768 without a mode change, Alt+Enter to a window and back, closed on SIGTERM"
