#!/usr/bin/env bash
# Opens and closes the fueling window many times under a window manager (openbox on a virtual X server of
# 1280 × 800), a few showings per start of the program, and prints where each showing put it (xdotool's
# position) and how far its frame's centre lies from the main window's; then how many showings were not
# centred or not wholly on the screen. Needs Xvfb, openbox, xdotool and xprop (Debian packages) and a built
# program. Usage: placement-check.sh [starts] [showings per start] [build folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/tools/lib.sh"
starts="${1:-6}"
showings="${2:-5}"
build="${3:-$root/build}"
run="$(mktemp -d)"
on_exit "rm -rf '$run'"

# A folder of its own, so no saved login of another run logs in by itself.
cp "$build/src/KORVAPosto" "$run/"
"$root/tools/make-demo-db.sh" "$run/Dravix.db"

start_xvfb 300
openbox >/dev/null 2>&1 &
on_exit "kill $! 2>/dev/null"
sleep 1

# The first visible window whose name matches, waiting for it.
find_window() {
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.05
  done
  return 1
}

# The window's frame as "left top width height", from its client area and the frame the manager drew.
frame_of() {
  local x y w h extents
  eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print "x=" $4} /Absolute upper-left Y/ {print "y=" $4}
                                   /Width:/ {print "w=" $2} /Height:/ {print "h=" $2}')"
  extents="$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')"
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

total=0
uncentred=0
outside=0
for start in $(seq 1 "$starts"); do
  "$run/KORVAPosto" >/dev/null 2>&1 &
  app=$!
  main="$(find_window '^KORVA Posto')" || { echo "the main window did not come up" >&2; exit 1; }
  sleep 1
  xdotool windowactivate --sync "$main"
  # The CNPJ field has the focus; Enter moves to the password, Enter there logs in.
  xdotool type --delay 20 12345678000195
  xdotool key Return
  xdotool type --delay 20 posto123
  xdotool key Return
  sleep 1
  read -r mx my mw mh <<<"$(frame_of "$main")"
  for n in $(seq 1 "$showings"); do
    # The first tile, in the main window's client area.
    xdotool mousemove --window "$main" 100 170 click 1
    fueling="$(find_window '^Abastecimento$')" || { echo "the fueling window did not come up" >&2; exit 1; }
    # Let the window manager and the program settle before reading where it lies.
    sleep 0.7
    read -r fx fy fw fh <<<"$(frame_of "$fueling")"
    dx=$(((2 * fx + fw) - (2 * mx + mw)))
    dy=$(((2 * fy + fh) - (2 * my + mh)))
    note=""
    # Half a pixel either way is rounding.
    if [ "${dx#-}" -gt 1 ] || [ "${dy#-}" -gt 1 ]; then
      uncentred=$((uncentred + 1))
      note=" not centred"
    fi
    if [ "$fx" -lt 0 ] || [ "$fy" -lt 0 ] || [ $((fx + fw)) -gt 1280 ] || [ $((fy + fh)) -gt 800 ]; then
      outside=$((outside + 1))
      note="$note, partly off the screen"
    fi
    total=$((total + 1))
    position="$(xdotool getwindowgeometry "$fueling" | awk '/Position/ {print $2}')"
    echo "start $start, showing $n: at $position, frame centre off by ($((dx / 2)),$((dy / 2)))$note"
    xdotool windowactivate --sync "$fueling" key --clearmodifiers alt+F4
    for _ in $(seq 1 50); do
      xdotool search --onlyvisible --name '^Abastecimento$' >/dev/null 2>&1 || break
      sleep 0.05
    done
    sleep 0.2
  done
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
done
echo "$total showings: $uncentred not centred on the main window, $outside partly off the screen"
