# Sourced by the tests that need a virtual X display. start_xvfb starts Xvfb
# and sets xvfb_pid and display; it uses the caller's $tmp folder and fail.
# The helpers below give every such test the same skip, scratch folder,
# clean-up and failure report.
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

# Exits 77 (skipped) unless every TOOL is installed.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"
      exit 77
    fi
  done
}

# Makes the scratch folder $tmp (named after PREFIX) and ends, on every exit,
# what the test started: first what the caller's cleanup_test (if defined)
# ends, then Xvfb, then the folder.
start_scratch() {
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  xvfb_pid=""
  trap end_scratch EXIT
}
end_scratch() {
  declare -F cleanup_test >/dev/null && cleanup_test
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$tmp"
}

# Reports MESSAGE and each LOG in $tmp that is not empty, then exits 1.
fail_with_logs() {
  local message=$1 log
  shift
  echo "FAIL: $message" >&2
  for log in "$@"; do
    if [ -s "$tmp/$log" ]; then
      echo "--- $log" >&2
      cat "$tmp/$log" >&2
    fi
  done
  exit 1
}
