# Sourced by the tests that need a virtual X display. start_xvfb starts Xvfb
# and sets xvfb_pid and display; it uses the caller's $tmp folder and fail.
#
# Xvfb picks a free display itself and writes its number once it accepts
# clients, so parallel runs and other X servers on the machine do not clash.
# -noreset: by default an X server resets whenever its last client leaves,
# and a client that connects during the reset is refused ("x11 not
# available" from SDL). The probes below connect and leave again and again.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  display=""
  for _ in $(seq 100); do
    display=$(head -n 1 "$tmp/display" 2>/dev/null)
    [ -n "$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
    sleep 0.1
  done
  [ -n "$display" ] || fail "Xvfb gave no display number within 10 seconds"
  # Under load a client was once refused just after the number was written
  # ("x11 not available"): wait, boundedly, until one connects.
  for _ in $(seq 50); do
    DISPLAY=":$display" timeout -s KILL 5 xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
  done
}
