# Sourced by the build and test scripts: a Wine prefix of the project's own, a virtual display,
# and for tests a prefix whose only drives are C: (the prefix itself) and the test drive.

korvenel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko installer dialogs at first start

# korvenel_start_display: starts Xvfb when there is no display; stopped when the script exits.
korvenel_start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local number
  for number in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break
  done
  Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  korvenel_xvfb_pid=$!
  export DISPLAY=":$number"
  local i
  for i in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.2; done
  echo "Xvfb did not start" >&2
  return 1
}

# korvenel_prefix DIR: makes (once) and selects a Wine prefix.
korvenel_prefix() {
  export WINEPREFIX=$1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# korvenel_test_prefix DIR TESTDRIVE: a prefix for tests. Z: (the whole Linux file system) is
# removed, and S: is the test drive, so a removal gone wrong cannot reach the machine.
korvenel_test_prefix() {
  korvenel_prefix "$1"
  rm -f "$WINEPREFIX/dosdevices/z:" "$WINEPREFIX/dosdevices/z::"
  ln -sfn "$2" "$WINEPREFIX/dosdevices/s:"
  export KORVENEL_TEST_DRIVE="S:"
}

korvenel_stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  [ -n "${korvenel_xvfb_pid:-}" ] && kill "$korvenel_xvfb_pid" 2>/dev/null || true
}
