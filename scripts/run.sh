#!/usr/bin/env bash
# Builds build/bin/korvenel.exe and starts it under Wine. Without a display it starts a virtual
# one, saves a screenshot of the window to build/korvenel.png and closes the program again.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build --target korvenel -j"$(nproc)"

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
korvenel_prefix "$PWD/build/wine/run"
# The program's texts are Chinese: without a Chinese or other UTF-8 locale of its own, start it
# with zh_CN. TZ in the Linux form would be misread by the Windows C runtime.
case "${LANG:-C}" in C|C.*|POSIX) export LANG=zh_CN.UTF-8 ;; esac
unset TZ

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec wine build/bin/korvenel.exe
fi

trap korvenel_stop_wine EXIT
korvenel_start_display
# Wine's virtual desktop draws the window's frame and title bar, which bare Xvfb lacks.
wine explorer /desktop=korvenel,640x480 build/bin/korvenel.exe &
program=$!
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --name '^Korvenel' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
import -window root -crop 640x480+0+0 build/korvenel.png
echo "screenshot: build/korvenel.png"
# Close it as a user would: a click on the title bar gives it the keyboard, then Esc.
xdotool mousemove 320 56 click 1 && sleep 0.5 && xdotool key Escape || true
for _ in $(seq 1 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$program" 2>/dev/null; then
  echo "the program did not close on Esc; ending Wine" >&2
  wineserver -k
fi
wait "$program" 2>/dev/null || true
