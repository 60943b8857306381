#!/usr/bin/env bash
# The benchmark command: installs what is missing, builds optimised into build-bench/, makes the large
# database once (build-bench/large/Dravix.db) and prints the table of figures. RUNS sets the runs per figure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVA_BENCH_BUILD_DIR:-$root/build-bench}"
"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVA_BENCH=ON >/dev/null
cmake --build "$build" --target korva_bench --parallel "$(nproc)"
db="$build/large/Dravix.db"
if [ ! -f "$db" ]; then
  mkdir -p "$(dirname "$db")"
  python3 "$root/tools/make-large-db.py" "$db"
fi
QT_QPA_PLATFORM=offscreen "$build/bench/korva_bench" "$db" "${RUNS:-9}" 2> >(grep -v 'does not support' >&2)
