#!/usr/bin/env bash
# Starts the packaged program under Wine from an unzipped copy of the package, logs in on the demo database,
# opens the fueling and report windows, and saves pictures of the main and fueling windows.
# Usage: screenshots.sh <package zip> <folder for the pictures>; needs DISPLAY and WINEPREFIX.
set -euo pipefail
zipfile="$1"
docs="$2"
run="$(mktemp -d)"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$run"' EXIT
unzip -q "$zipfile" -d "$run"
folder="$run/KORVAPosto"

shoot() { # window name pattern, file
  local id
  id="$(xdotool search --name "$1" | head -n 1)"
  xwd -id "$id" -silent | convert xwd:- "$2"
  echo "saved $2"
}
wait_for() { # window name pattern
  for _ in $(seq 1 60); do
    xdotool search --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.5
  done
  echo "no window named '$1' appeared" >&2
  return 1
}

# The tests' offscreen platform must not reach the program.
wine reg delete 'HKCU\Environment' /v QT_QPA_PLATFORM /f >/dev/null 2>&1 || true
(cd "$folder" && WINEDEBUG=-all wine ./KORVAPosto.exe >/dev/null 2>&1) &
wait_for "KORVA Posto"
sleep 3
main="$(xdotool search --name "KORVA Posto" | head -n 1)"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
# CNPJ, Enter to the password, Enter to log in.
xdotool type --delay 60 12345678000195
xdotool key Return
xdotool type --delay 60 posto123
xdotool key Return
sleep 3
shoot "KORVA Posto" "$docs/windows-main-window.png"
# The tiles: fueling, then report.
xdotool mousemove --window "$main" 100 190 click 1
wait_for "^Abastecimento$"
sleep 2
shoot "^Abastecimento$" "$docs/windows-fueling-window.png"
xdotool mousemove --window "$main" 100 345 click 1
wait_for "Relarorio Abastecimentos"
sleep 1
echo "the report window opened"
