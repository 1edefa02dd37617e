#!/usr/bin/env bash
# Dump-mode throughput of quorvik against pgdbf on the same tables.
#
#   bench/run.sh [RECORDS] [RUNS]      (defaults: 1000000 records, 5 runs)
#
# Builds quorvik (Release) into build-bench, writes the benchmark tables into a scratch folder
# (BENCH_DIR, default build-bench/bench-tables; regenerated only when the record count
# changes), then runs `quorvik --dump` and `pgdbf` alternately RUNS times on each table and
# reports the median wall times, their ratio and the peak memory of quorvik. It also converts
# a table a tenth of the size once, to show that memory does not grow with the table.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
records=${1:-1000000}
runs=${2:-5}
build=${BENCH_BUILD:-$root/build-bench}
data=${BENCH_DIR:-$build/bench-tables}
python=/usr/bin/python3

for tool in pgdbf /usr/bin/time "$python"; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
# Several builds may share the machine; the lock keeps them from running at once.
flock /tmp/qv-build.lock cmake --build "$build" -j "$(nproc)" --target quorvik >/dev/null
quorvik=$build/src/quorvik

make_tables() {  # folder, record count
  if [ "$(cat "$1/records" 2>/dev/null)" != "$2" ]; then
    echo "writing $2-record tables into $1"
    rm -rf "$1"
    mkdir -p "$1"
    "$python" bench/make_tables.py "$1" "$2"
    echo "$2" >"$1/records"
  fi
}
make_tables "$data/full" "$records"
make_tables "$data/tenth" "$((records / 10))"
out=$data/out
mkdir -p "$out"

# Wall seconds and peak resident kilobytes of one command, from GNU time.
measure() {  # stats file, command...
  local stats=$1
  shift
  /usr/bin/time -f '%e %M' -o "$stats" "$@"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

bench_table() {  # label, subfolder, table base name, memo extension or empty
  local label=$1 sub=$2 table=$3 memo=$4
  local dir=$data/full/$sub
  local q_times=() p_times=() q_mem=0 p_mem=0 i
  local memo_opt=()
  [ -n "$memo" ] && memo_opt=(-m "$table.$memo")
  for ((i = 1; i <= runs; ++i)); do
    # Both start without an old script: the shell empties pgdbf's before timing starts, so
    # quorvik's removal of its own would otherwise be timed for quorvik alone.
    rm -f "$out/$table.sql" "$out/$table.pg.sql"
    # Neither run pays for writing back the previous one's script.
    sync
    measure "$out/q.stats" "$quorvik" --src="$dir" --dest="$out/$table.sql" --dump --silent
    read -r t m <"$out/q.stats"
    q_times+=("$t")
    if ((m > q_mem)); then q_mem=$m; fi
    sync
    (cd "$dir" && measure "$out/p.stats" pgdbf -P -s cp1252 "${memo_opt[@]}" "$table.dbf" \
      >"$out/$table.pg.sql")
    read -r t m <"$out/p.stats"
    p_times+=("$t")
    if ((m > p_mem)); then p_mem=$m; fi
  done
  local qm pm
  qm=$(printf '%s\n' "${q_times[@]}" | median)
  pm=$(printf '%s\n' "${p_times[@]}" | median)
  measure "$out/t.stats" "$quorvik" --src="$data/tenth/$sub" --dest="$out/$table.tenth.sql" \
    --dump --silent
  local tenth_mem
  read -r _ tenth_mem <"$out/t.stats"
  echo "== $label: $table.dbf, $records records, $runs runs"
  echo "   quorvik times (s): ${q_times[*]}"
  echo "   pgdbf   times (s): ${p_times[*]}"
  awk -v q="$qm" -v p="$pm" 'BEGIN { printf "   median quorvik %.3f s, pgdbf %.3f s, ratio quorvik/pgdbf %.2f\n", q, p, (p > 0 ? q / p : 0) }'
  awk -v q="$q_mem" -v t="$tenth_mem" -v p="$p_mem" -v n="$((records / 10))" 'BEGIN {
    printf "   peak memory quorvik %.1f MB (%.1f MB at %d records), pgdbf %.1f MB\n", q / 1024, t / 1024, n, p / 1024 }'
  echo "   script sizes: quorvik $(stat -c %s "$out/$table.sql") bytes, pgdbf $(stat -c %s "$out/$table.pg.sql") bytes"
}

bench_table "dBase III with memo" dbase3 people dbt
bench_table "Visual FoxPro" vfp items ""
