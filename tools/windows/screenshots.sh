#!/usr/bin/env bash
# Starts the packaged program under Wine from an unzipped copy of the package, in a Wine desktop of
# 1280 × 800 (Wine then manages the windows itself, so the main window opens maximised as on Windows), logs
# in on the demo database, opens the fueling and report windows, and saves a picture of the screen at each
# step. Usage: screenshots.sh <package zip> <folder for the pictures>; needs DISPLAY and WINEPREFIX.
set -euo pipefail
zipfile="$1"
docs="$2"
run="$(mktemp -d)"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$run"' EXIT
unzip -q "$zipfile" -d "$run"
folder="$run/KORVAPosto"

shoot() {
  xwd -root -silent | convert xwd:- "$1"
  echo "saved $1"
}

# The tests' offscreen platform must not reach the program.
wine reg delete 'HKCU\Environment' /v QT_QPA_PLATFORM /f >/dev/null 2>&1 || true
(cd "$folder" && WINEDEBUG=-all wine explorer /desktop=KORVAPosto,1280x800 KORVAPosto.exe >/dev/null 2>&1) &
for _ in $(seq 1 60); do
  xdotool search --name "KORVA Posto" >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 4
# Into the CNPJ field (the login panel sits in the middle of the maximised window), Enter to the password,
# Enter to log in.
xdotool mousemove 670 414 click 1
sleep 0.5
xdotool type --delay 80 12345678000195
xdotool key Return
xdotool type --delay 80 posto123
xdotool key Return
sleep 3
shoot "$docs/windows-main-window.png"
# The tiles at the left: fueling, then report.
xdotool mousemove 100 190 click 1
sleep 4
shoot "$docs/windows-fueling-window.png"
xdotool mousemove 100 343 click 1
sleep 4
shoot "$docs/windows-report-window.png"
