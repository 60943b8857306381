#!/usr/bin/env bash
# Configures and builds everything into build/ (extra arguments go to CMake's configure step).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
