# Shared by the start tests: a scratch folder, a private X server and waits
# for the windows of a process. Source it; it sets $work and $DISPLAY.
set -u
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [ -f "$log" ] && sed "s|^|  $(basename "$log"): |" "$log"; done
  exit 1
}

# -noreset: without it the server resets when its last client goes (a killed
# instance) and drops a connection that arrives meanwhile.
start_xvfb() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$work/display")"
  unset QT_QPA_PLATFORM
}

# Runtime and data folders of the program's own (its lock, its component
# registry) inside the scratch folder.
private_dirs() {
  export XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_HOME="$work/data-home"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# wait_window PID TITLE-REGEX: prints the id of the first visible window of
# PID whose title matches; fails when PID ends first or after 20 s.
wait_window() {
  local w
  for _ in $(seq 200); do
    w=$(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# wait_exit PID: the exit code of PID, which must end within 10 s.
wait_exit() {
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; return $?; }
    sleep 0.1
  done
  return 124
}

main_title='^Vantel - '
