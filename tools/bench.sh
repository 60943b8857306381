#!/usr/bin/env bash
# The benchmark command: installs what is missing, builds optimised into build-bench/, makes the large
# database once (build-bench/large/Dravix.db) and prints the table of figures. RUNS sets the runs per figure.
#
#   tools/bench.sh --against REV
# also builds REV's benchmark, from REV's files (git archive) into build-bench/against/REV/, and runs the two
# benchmarks alternately ROUNDS times each (3) on the same large database, each run on its own copy of it;
# then prints one table: each figure for REV and for the working tree, and the change in percent. The slow
# answers of the working tree run once, in its last round. The outputs stay in build-bench/against/REV/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVA_BENCH_BUILD_DIR:-$root/build-bench}"
against=""
if [ "${1:-}" = "--against" ]; then
  against="${2:?--against needs a git revision}"
  shift 2
fi
[ $# -eq 0 ] || { echo "usage: tools/bench.sh [--against REV]" >&2; exit 2; }
"$root/tools/install-deps.sh"

build_bench() { # SOURCE BUILD
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DKORVA_BENCH=ON >/dev/null
  cmake --build "$2" --target korva_bench --parallel "$(nproc)"
}

# Checked before anything is built: a typing error in REV should not cost a build.
if [ -n "$against" ]; then
  rev="$(git -C "$root" rev-parse --verify --quiet "$against^{commit}")" ||
    { echo "not a revision: $against" >&2; exit 2; }
  old="$build/against/$(git -C "$root" rev-parse --short "$rev")"
fi
build_bench "$root" "$build"
db="$build/large/Dravix.db"
if [ ! -f "$db" ]; then
  mkdir -p "$(dirname "$db")"
  python3 "$root/tools/make-large-db.py" "$db"
fi

run_bench() { # EXECUTABLE
  QT_QPA_PLATFORM=offscreen "$1" "$db" "${RUNS:-9}" 2> >(grep -v 'does not support' >&2)
}

if [ -z "$against" ]; then
  run_bench "$build/bench/korva_bench"
  exit 0
fi

if [ ! -f "$old/source/CMakeLists.txt" ]; then
  rm -rf "$old/source"
  mkdir -p "$old/source"
  git -C "$root" archive "$rev" | tar -x -C "$old/source"
fi
build_bench "$old/source" "$old/build"

# Alternately, each build first in every other round, so that a drift of the machine's speed falls on both.
outputs="$old/runs-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$outputs"
rounds="${ROUNDS:-3}"
for round in $(seq 1 "$rounds"); do
  sides=(rev tree)
  [ $((round % 2)) -eq 0 ] && sides=(tree rev)
  for side in "${sides[@]}"; do
    executable="$build/bench/korva_bench"
    [ "$side" = rev ] && executable="$old/build/bench/korva_bench"
    slow=0
    [ "$side" = tree ] && [ "$round" -eq "$rounds" ] && slow=1
    out="$outputs/$side-$round.txt"
    echo "round $round/$rounds: $side ($(uptime))" >&2
    echo "uptime: $(uptime)" >"$out"
    KORVA_BENCH_SLOW_ANSWERS=$slow run_bench "$executable" >>"$out"
  done
done
python3 "$root/tools/bench-compare.py" "$(basename "$old")" "working tree" \
  "$outputs"/rev-*.txt -- "$outputs"/tree-*.txt
