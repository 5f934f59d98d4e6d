#!/usr/bin/env bash
# The start question through the real SDL backend.
#
#   start_question_test.sh dialog PROBE      on a virtual X display (Xvfb) the
#       box titled "Start FullScreen?" appears, and Return in it answers Yes.
#       Exits 77 (skipped) when Xvfb or xdotool is missing.
#   start_question_test.sh no-display PROBE   with the X11 driver and no display
#       the question goes to stderr and the answer is No.
#
# Every wait is bounded and the X server and the probe are killed on every
# path, so a box that never appears fails the test instead of hanging it.
set -u

mode=${1:?usage: start_question_test.sh dialog|no-display PROBE}
probe=${2:?usage: start_question_test.sh dialog|no-display PROBE}
caption="Start FullScreen?"

. "$(dirname "$0")/../xvfb_display.sh"

start_scratch turfwar-dialog
probe_pid=""
cleanup_test() {
  # timeout leads its own process group: killing the group also ends the
  # child SDL forks to run the box in.
  [ -n "$probe_pid" ] && kill -KILL -- "-$probe_pid" 2>/dev/null
}
fail() {
  fail_with_logs "$*" probe.out probe.err xvfb.log xdotool.log
}

# Runs the probe in the background with the environment changes given as
# env(1) arguments. SDL turns SIGTERM into a quit event, which a modal box
# ignores: the probe gets SIGKILL when its time is up.
start_probe() {
  timeout -s KILL 60 env "$@" "$probe" >"$tmp/probe.out" 2>"$tmp/probe.err" &
  probe_pid=$!
}

probe_running() {
  kill -0 "$probe_pid" 2>/dev/null
}

finish_probe() {
  wait "$probe_pid"
  local status=$?
  probe_pid=""
  [ "$status" -eq 0 ] || fail "the probe ended with status $status"
}

case "$mode" in
no-display)
  start_probe -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11
  finish_probe
  [ "$(cat "$tmp/probe.out")" = "No" ] || fail "expected the answer No without a display"
  grep -qF "$caption" "$tmp/probe.err" || fail "the question did not reach stderr"
  grep -qF "answering No" "$tmp/probe.err" || fail "stderr does not say the answer is No"
  echo "no display: the question went to stderr and the answer was No"
  exit 0
  ;;
dialog) ;;
*) echo "unknown mode $mode" >&2; exit 2 ;;
esac

require_tools Xvfb xdotool
start_xvfb
export DISPLAY=":$display"
unset WAYLAND_DISPLAY

xdo() {
  timeout -s KILL 5 xdotool "$@" 2>>"$tmp/xdotool.log"
}

# Once in a loaded run SDL's X11 box failed to open on a display that was
# up (the probe then fell back to stderr and No); a second start tells such
# a passing failure from a box that cannot open at all, which fails twice.
window=""
for attempt in 1 2; do
  # The suite runs with the offscreen driver; the box needs the real one.
  start_probe SDL_VIDEODRIVER=x11
  # xdotool's --name search does not match SDL's UTF8_STRING title, so list
  # every window and compare the names it reads from _NET_WM_NAME.
  # Generous: under the sanitizers on a loaded machine the box takes long to come.
  deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    for w in $(xdo search --class ''); do
      if [ "$(xdo getwindowname "$w")" = "$caption" ]; then
        window=$w
      fi
    done
    [ -n "$window" ] && break 2
    probe_running || break
    sleep 0.1
  done
  probe_running && fail "no window titled \"$caption\" within 60 seconds"
  [ "$attempt" = 2 ] && fail "the probe ended twice without showing a box titled \"$caption\""
  echo "the probe ended without a box; starting it once more. Its stderr: $(cat "$tmp/probe.err")"
  wait "$probe_pid"
done

# The key goes straight to the box's window (no window manager gives it the
# focus). Pressed again if the box missed it, for a key sent the moment the
# window appeared.
for _ in 1 2 3 4; do
  xdo key --window "$window" Return
  deadline=$((SECONDS + 3))
  while [ "$SECONDS" -lt "$deadline" ]; do
    probe_running || break 2
    sleep 0.1
  done
done
probe_running && fail "the box did not close on Return"
finish_probe
answer=$(cat "$tmp/probe.out")
[ "$answer" = "Yes" ] || fail "Return answered \"$answer\", expected Yes"
echo "the box \"$caption\" appeared on $DISPLAY and Return answered Yes"
