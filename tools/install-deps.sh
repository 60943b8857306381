#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when any is missing.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc qt6-translations-l10n
  libxlsxwriter-dev libsqlite3-dev sqlite3 unixodbc unixodbc-dev tdsodbc libsqliteodbc
  fonts-wine fonts-dejavu-core clang-format
  xvfb x11-apps x11-utils imagemagick xauth unzip python3
)
# The Windows package: MinGW-w64 with POSIX threads, Wine, and what building Qt and SQLite from source needs.
if [ "${KORVA_WINDOWS:-0}" = 1 ]; then
  packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 tcl dpkg-dev ninja-build zip
    xdotool)
fi
if [ "${KORVA_FUZZ:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
