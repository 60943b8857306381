#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a bounded time
# (FUZZ_SECONDS, default 20). The committed seeds in fuzz/corpus/<target> are only read; new inputs go to
# build-fuzz/corpus/<target>. Exits non-zero when a target crashes; the input that did it is kept in
# build-fuzz/artifacts/ and the run's output in build-fuzz/<target>.log.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVA_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-20}"
targets=(fuzz_decimal fuzz_cnpj fuzz_markers fuzz_ini)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DKORVA_FUZZ=ON -DKORVA_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" --parallel 2

status=0
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/artifacts"
  log="$build/$target.log"
  options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-")
  [ -f "$root/fuzz/$target.dict" ] && options+=(-dict="$root/fuzz/$target.dict")
  if "$build/fuzz/$target" "${options[@]}" "$build/corpus/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
    echo "$target: no crash in ${seconds} s, $runs inputs, $rate execs/s"
  else
    echo "$target: CRASH (output in $log)"
    tail -n 40 "$log"
    status=1
  fi
done
exit "$status"
