#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine: the MinGW-w64 cross compiler, CMake,
# Wine, Xvfb, a Chinese locale and a CJK font. Safe to run again; it installs only what is missing.
set -euo pipefail

packages=(cmake make g++ g++-mingw-w64-x86-64 googletest wine wine64 xvfb x11-utils xdotool
          locales fonts-wqy-microhei imagemagick zip clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine's ANSI code page follows LANG, so both locales the tests run under must exist.
for loc in zh_CN.UTF-8 en_US.UTF-8; do
  if ! locale -a 2>/dev/null | grep -qi "^${loc%%.*}\.utf-\?8$"; then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd sed -i "s/^# *\(${loc} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${loc} UTF-8" /etc/locale.gen || echo "${loc} UTF-8" | $sudo_cmd tee -a /etc/locale.gen >/dev/null
    $sudo_cmd locale-gen >/dev/null
  fi
done
