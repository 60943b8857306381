#!/usr/bin/env bash
# The test command: installs what is missing (clang for the fuzz targets too), builds, runs every test, kills
# the program again and again while it stores fuelings (tools/kill-saves.sh), then runs each fuzz target for
# a short bounded time (FUZZ_SECONDS, 15 by default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
KORVA_FUZZ=1 "$root/tools/install-deps.sh"
"$root/tools/build.sh" -DKORVA_WERROR=ON
(
  cd "${KORVA_BUILD_DIR:-$root/build}"
  ctest --output-on-failure --parallel "$(nproc)" --timeout 300
)
"$root/tools/kill-saves.sh"
FUZZ_SECONDS="${FUZZ_SECONDS:-15}" "$root/tools/fuzz.sh"
