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

# korvenel_full_drive DIR: for the tests of a full disk, a tmpfs of 2 MB mounted at DIR and mapped
# as drive T: of the test prefix, with the test drive's marker file at its root. Where mounting is
# not allowed (no root), T: stays unmapped and those tests skip. Call after korvenel_test_prefix;
# korvenel_unmount_full_drive undoes it.
korvenel_full_drive() {
  rm -f "$WINEPREFIX/dosdevices/t:"
  unset KORVENEL_FULL_DRIVE
  mkdir -p "$1"
  if ! mount -t tmpfs -o size=2m korvenel-full-drive "$1" 2>/dev/null; then
    echo "Cannot mount a tmpfs at $1: the full-disk tests will be skipped" >&2
    return 0
  fi
  korvenel_full_drive_dir=$1
  echo "Full drive of Korvenel's tests." >"$1/korvenel-test-drive"
  ln -sfn "$1" "$WINEPREFIX/dosdevices/t:"
  export KORVENEL_FULL_DRIVE="T:"
}

korvenel_unmount_full_drive() {
  if [ -n "${korvenel_full_drive_dir:-}" ]; then
    umount "$korvenel_full_drive_dir" 2>/dev/null || true
    rm -f "$WINEPREFIX/dosdevices/t:"
  fi
}

korvenel_stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  [ -n "${korvenel_xvfb_pid:-}" ] && kill "$korvenel_xvfb_pid" 2>/dev/null || true
}
