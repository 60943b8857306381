#!/usr/bin/env bash
# Kills the save loop (bench/korva_save_loop) with SIGKILL at random moments while it stores fuelings through
# the fueling window into a fresh embedded database, restarting it after each kill from the reading after
# the last one its journal names, until SAVES saves are confirmed. Then it holds the file to the journal:
# every confirmed save has one row, no reading has two, a row never confirmed is the save in flight at a
# kill, the file passes SQLite's integrity check. Exits non-zero on any breach, keeping the files.
#
# SAVES (200) confirmations to reach; KILLS (40) kills to aim for, after which the last run goes on to the
# end; SEED the random delays' seed; KILL_MS ("A-B") the range of the delay from a start to its kill, in ms.
# By default the range is measured first and then follows the machine's pace, so that the kills land in the
# start-up (a hot journal is recovered at the first lookup) as well as all through the saves.
# Builds korva_save_loop in KORVA_BUILD_DIR (build/, configured as tools/build.sh does when it is not).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/tools/lib.sh"
KORVA_LOG_TAG=kill-saves
build="${KORVA_BUILD_DIR:-$root/build}"
saves="${SAVES:-200}"
aimed="${KILLS:-40}"
seed="${SEED:-$(( $(date +%s%N) % 32768 ))}"
RANDOM="$seed"
started="$(date +%s)"

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target korva_save_loop --parallel "$(nproc)" >/dev/null
loop="$build/bench/korva_save_loop"

work="$(mktemp -d)"
keep=0
on_exit '[ "$keep" = 1 ] || rm -rf "$work"'
db="$work/Dravix.db"
journal="$work/journal.txt"
: >"$journal"
# What a save needs: the station, one vehicle with its fuel and agreed price, one driver. The consumption
# range is wide because the reading in flight at a kill may be stored or not, so the next distance is one
# or two kilometres.
cat "$root/src/db/schema/sqlite.sql" - <<'SQL' | sqlite3 "$db"
INSERT INTO Empresas (id, razao, cnpj) VALUES (10, 'Transportadora Rio Verde Ltda', '11222333000181');
INSERT INTO ZeltoPostos (id, id_empresa, Cnpj, Senha, nome)
  VALUES (1, 10, '12345678000195', 'posto123', 'Auto Posto Estrela do Vale');
INSERT INTO VeiMarcas (ID, Marca) VALUES (1, 'Volvo');
INSERT INTO VeiModelos (ID, Modelo) VALUES (1, 'FH 540');
INSERT INTO VeiculosNovo (id, Placa, id_empresa, Codigo, CodUT, IDMarca, IDModelo)
  VALUES (101, 'ABC1234', 10, 'CAM-01', 501, 1, 1);
INSERT INTO AdicionaisVeiculos (idVeiculo, CapTanque, RendMinimo, RendMaximo) VALUES (101, 400, 0, 100);
INSERT INTO TBItem (cd_item, id_empresa, descricao) VALUES (1, 10, 'DIESEL S10');
INSERT INTO VeiculoComb (id_veiculo, cd_item) VALUES (101, 1);
INSERT INTO PostoItem (id_posto, cd_item, valor, margem) VALUES (1, 1, 5, 0);
INSERT INTO Motoristas (id_empresa, Codigo, nome, senha, Situacao) VALUES (10, 1001, 'Carlos Pereira', '1234', 'A');
SQL

confirmed() { grep -c '^ok ' "$journal" || true; }
last_km() { awk '$1 == "try" || $1 == "ok" || $1 == "fail" { km = $2 } END { print km + 0 }' "$journal"; }

kills=0
runs=0
# Runs the loop for $1 more saves from the reading after the journal's last; with $2, kills it $2 ms after
# its start. Sets `took`, the run's microseconds.
run_loop() {
  local first=$(( $(last_km) + 1 )) status=0 from
  from="$(date +%s%N)"
  "$loop" "$db" "$journal" "$first" $(( first + $1 - 1 )) 2>>"$work/loop.log" &
  local pid=$!
  runs=$(( runs + 1 ))
  if [ -n "${2:-}" ]; then
    sleep "$(printf '%d.%03d' $(( $2 / 1000 )) $(( $2 % 1000 )))"
    kill -KILL "$pid" 2>/dev/null || true
  fi
  # The shell's own word on a killed job ("Killed") is no news here.
  { wait "$pid" || status=$?; } 2>/dev/null
  took=$(( ($(date +%s%N) - from) / 1000 ))
  if [ "$status" = 137 ]; then
    kills=$(( kills + 1 ))
    echo killed >>"$journal"
  elif [ "$status" != 0 ]; then
    keep=1
    log "BREACH: the loop stopped by itself with status $status; the journal's end and the loop's errors:"
    tail -n 3 "$journal" >&2
    tail -n 5 "$work/loop.log" >&2
    log "files kept in $work"
    exit 1
  fi
}

measured=0
if [ -n "${KILL_MS:-}" ]; then
  shortest="${KILL_MS%-*}"
  longest="${KILL_MS#*-}"
else
  measured=1
  # Unkilled runs of one save (the first warms the caches) and of eleven: the start-up and a save's time.
  run_loop 1
  run_loop 1
  one=$took
  run_loop 11
  save_us=$(( (took - one) / 10 ))
  save_us=$(( save_us > 1000 ? save_us : 1000 ))
  startup_us=$(( one > save_us ? one - save_us : 0 ))
  # From the middle of the start-up (a hot journal is recovered at the first lookup) to about twice the
  # time of a kill's share of the saves.
  shortest=$(( startup_us / 2000 ))
  longest=$(( (startup_us + 2 * save_us * saves / (aimed > 0 ? aimed : 1)) / 1000 ))
  log "start-up $(( startup_us / 1000 )) ms, a save $(( save_us / 1000 )).$(( save_us % 1000 / 100 )) ms"
fi
log "seed $seed: $saves saves, about $aimed kills, files in $work"
range_before="$shortest-$longest"
while [ "$(confirmed)" -lt "$saves" ]; do
  if [ "$kills" -lt "$aimed" ]; then
    before="$(confirmed)"
    share=$(( (saves - before) / (aimed - kills) ))
    run_loop $(( saves - before )) $(( shortest + RANDOM % (longest - shortest + 1) ))
    # The machine's pace changes with what else it does: a run that stored more than its share of what is
    # left brings the kills sooner, one that stored less later, half a save's time a save.
    if [ "$measured" = 1 ]; then
      longest=$(( longest + (share - ($(confirmed) - before)) * save_us / 2000 ))
      longest=$(( longest > shortest + 10 ? longest : shortest + 10 ))
    fi
  else
    run_loop $(( saves - $(confirmed) ))
  fi
done
log "kills $range_before ms after a start at first, $shortest-$longest ms at the end"

if grep -Evq '^(try [0-9]+|ok [0-9]+|fail [0-9]+( .*)?|killed)$' "$journal"; then
  keep=1
  log "the journal has lines the loop does not write; files kept in $work"
  exit 1
fi

# The journal as a table beside the database: its lines in order, what each says of which reading.
report="$(
  awk 'BEGIN { print "CREATE TEMP TABLE journal (line INTEGER PRIMARY KEY, kind TEXT, km INTEGER);" }
       { printf "INSERT INTO journal VALUES (%d, '\''%s'\'', %s);\n", NR, $1, ($2 == "" ? "NULL" : $2 + 0) }' \
    "$journal"
  cat <<'SQL'
CREATE TEMP VIEW fueling AS SELECT * FROM ZeltoMov WHERE IDPosto = 1;
-- The last line before each kill, when it is a try: the save in flight.
CREATE TEMP VIEW inflight AS
  SELECT before.km FROM journal k JOIN journal before ON before.line = k.line - 1
  WHERE k.kind = 'killed' AND before.kind = 'try';
CREATE TEMP VIEW ok AS SELECT km FROM journal WHERE kind = 'ok';
.mode list
.separator ' '
SELECT 'confirmed', COUNT(*) FROM ok;
SELECT 'confirmed_without_one_row', COUNT(*) FROM ok
  WHERE (SELECT COUNT(*) FROM fueling WHERE KmAtual = ok.km) <> 1;
SELECT 'rows', COUNT(*) FROM fueling;
SELECT 'unconfirmed', COUNT(*) FROM fueling WHERE KmAtual NOT IN ok;
SELECT 'unconfirmed_not_in_flight', COUNT(*) FROM fueling WHERE KmAtual NOT IN ok AND KmAtual NOT IN inflight;
SELECT 'duplicates', COUNT(*) FROM (SELECT KmAtual FROM fueling GROUP BY KmAtual HAVING COUNT(*) > 1);
SELECT 'inflight', COUNT(*) FROM inflight;
SELECT 'inflight_stored', COUNT(*) FROM inflight WHERE km IN (SELECT KmAtual FROM fueling);
-- Each row's previous reading is the latest one stored before it, whichever run stored it.
SELECT 'chain_breaks', COUNT(*) FROM fueling f
  WHERE KmAnterior IS NOT (SELECT COALESCE(MAX(KmAtual), 0) FROM fueling p WHERE p.KmAtual < f.KmAtual);
SELECT 'integrity', group_concat(integrity_check, '; ') FROM pragma_integrity_check;
SQL
)"
figures="$(sqlite3 "$db" <<<"$report")"
figure() { awk -v k="$1" '$1 == k { $1 = ""; sub(/^ /, ""); print }' <<<"$figures"; }

echo "seed: $seed; runs: $runs; time: $(elapsed "$started")"
echo "saves confirmed: $(figure confirmed) ($(figure confirmed_without_one_row) without exactly one row)"
echo "kills: $kills ($(figure inflight) with a save in flight, $(figure inflight_stored) of them stored)"
echo "rows: $(figure rows)"
echo "rows with no \"ok\": $(figure unconfirmed) ($(figure unconfirmed_not_in_flight) not the last \"try\" before a kill)"
echo "duplicates: $(figure duplicates)"
echo "previous readings out of order: $(figure chain_breaks)"
echo "integrity check: $(figure integrity)"

breaches=()
[ "$(figure confirmed_without_one_row)" = 0 ] || breaches+=("a confirmed save without exactly one row")
[ "$(figure unconfirmed_not_in_flight)" = 0 ] || breaches+=("a row never confirmed nor in flight at a kill")
[ "$(figure duplicates)" = 0 ] || breaches+=("a reading stored twice")
[ "$(figure chain_breaks)" = 0 ] || breaches+=("a row whose previous reading is not the latest stored before it")
[ "$(figure integrity)" = ok ] || breaches+=("the file fails the integrity check")
if [ "${#breaches[@]}" -gt 0 ]; then
  keep=1
  for b in "${breaches[@]}"; do log "BREACH: $b"; done
  log "files kept in $work"
  exit 1
fi
