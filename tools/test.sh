#!/usr/bin/env bash
# The test command: installs what is missing, builds, runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh"
"$root/tools/build.sh" -DKORVA_WERROR=ON
cd "${KORVA_BUILD_DIR:-$root/build}"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
