#!/usr/bin/env bash
# Dump-mode throughput of quorvik against pgdbf on the same tables.
#
#   bench/run.sh [RECORDS] [RUNS]      (defaults: 1000000 records, 5 runs)
#
# Builds quorvik (Release) into build-bench, writes the benchmark tables into a scratch folder
# (BENCH_DIR, default build-bench/bench-tables; regenerated only when the record count or
# the table writer changes), then runs `quorvik --dump` and `pgdbf` alternately RUNS times on each table, on
# both cores and on core 0 alone (taskset), and reports the median wall and CPU (user + system)
# times, their ratios, how much quorvik gains from the second core, and peak memory. It also
# converts a table a tenth of the size once, to show that memory does not grow with the table.
# Tables pgdbf cannot read are reported as such, with quorvik's figures alone.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
records=${1:-1000000}
runs=${2:-5}
build=${BENCH_BUILD:-$root/build-bench}
data=${BENCH_DIR:-$build/bench-tables}
python=/usr/bin/python3

. bench/bench_common.sh
bench_require pgdbf /usr/bin/time taskset "$python"

# Several builds may share the machine; the lock keeps them from running at once.
bench_build
make_tables "$data/full" "$records"
make_tables "$data/tenth" "$((records / 10))"
out=$data/out
mkdir -p "$out"

# Wall, user and system seconds and peak resident kilobytes of one command, from GNU time. A
# failing command leaves a line about its exit status first, so the figures are its last line.
measure() {  # stats file, command...
  local stats=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }

# Timings of the table in hand, by program and core count: q2, p2 (two cores), q1, p1 (core 0).
declare -A wall cpu peak
record_run() {  # key, stats file
  local t u s m
  read -r t u s m < <(tail -n 1 "$2")
  wall[$1]+="$t "
  cpu[$1]+="$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }') "
  if ((m > ${peak[$1]:-0})); then peak[$1]=$m; fi
}
med() { printf '%s\n' ${1} | median; }  # the median of a list of numbers

summary=()
bench_table() {  # label, subfolder, table base name, memo extension or empty, pgdbf encoding
  local label=$1 sub=$2 table=$3 memo=$4 encoding=$5
  local dir=$data/full/$sub
  local memo_opt=() i pin pgdbf_ok=1 pgdbf_error=
  [ -n "$memo" ] && memo_opt=(-m "$dir/$table.$memo")
  wall=() cpu=() peak=()
  for ((i = 1; i <= runs; ++i)); do
    # Both cores, as the machine has them, then core 0 alone.
    for pin in 2 1; do
      local cores=()
      [ "$pin" = 1 ] && cores=(taskset -c 0)
      # Both start without an old script: the shell empties pgdbf's before timing starts, so
      # quorvik's removal of its own would otherwise be timed for quorvik alone.
      rm -f "$out/$table.sql" "$out/$table.pg.sql"
      # Neither run pays for writing back the previous one's script.
      sync
      measure "$out/q.stats" "${cores[@]}" "$quorvik" --src="$dir" --dest="$out/$table.sql" \
        --dump --silent || { echo "quorvik failed on $dir" >&2; exit 1; }
      record_run "q$pin" "$out/q.stats"
      ((pgdbf_ok)) || continue
      sync
      if measure "$out/p.stats" "${cores[@]}" pgdbf -P -s "$encoding" "${memo_opt[@]}" \
        "$dir/$table.dbf" >"$out/$table.pg.sql" 2>"$out/p.err"; then
        record_run "p$pin" "$out/p.stats"
      else
        pgdbf_ok=0
        pgdbf_error=$(head -n 2 "$out/p.err" | cut -c 1-160 | tr '\n' ' ')
      fi
    done
  done
  measure "$out/t.stats" "$quorvik" --src="$data/tenth/$sub" --dest="$out/$table.tenth.sql" \
    --dump --silent
  local tenth_mem
  read -r _ _ _ tenth_mem < <(tail -n 1 "$out/t.stats")
  local q2 q1 c2 c1 p2=0 p1=0 d2=0 d1=0
  q2=$(med "${wall[q2]}") q1=$(med "${wall[q1]}") c2=$(med "${cpu[q2]}") c1=$(med "${cpu[q1]}")
  echo "== $label: $table.dbf, $records records, $runs runs"
  echo "   quorvik times (s): ${wall[q2]}"
  if ((pgdbf_ok)); then
    p2=$(med "${wall[p2]}") p1=$(med "${wall[p1]}") d2=$(med "${cpu[p2]}") d1=$(med "${cpu[p1]}")
    echo "   pgdbf   times (s): ${wall[p2]}"
    echo "   median quorvik $q2 s, pgdbf $p2 s, ratio quorvik/pgdbf $(ratio "$q2" "$p2")"
    echo "   CPU (user+system) quorvik ${cpu[q2]}s, pgdbf ${cpu[p2]}s"
    echo "   median CPU quorvik $c2 s, pgdbf $d2 s, ratio quorvik/pgdbf $(ratio "$c2" "$d2")"
    echo "   one core (taskset -c 0) quorvik ${wall[q1]}s, pgdbf ${wall[p1]}s"
    echo "   one core median quorvik $q1 s, pgdbf $p1 s, ratio quorvik/pgdbf $(ratio "$q1" "$p1")"
  else
    echo "   pgdbf cannot read this table: ${pgdbf_error:-no message}"
    echo "   CPU (user+system) quorvik ${cpu[q2]}s, median $c2 s"
    echo "   one core (taskset -c 0) quorvik ${wall[q1]}s, median $q1 s"
  fi
  echo "   quorvik two cores against one: wall $q2 s vs $q1 s (speed-up $(ratio "$q1" "$q2")), CPU $c2 s vs $c1 s"
  awk -v q="${peak[q2]}" -v o="${peak[q1]}" -v t="$tenth_mem" -v p="${peak[p2]:-0}" \
    -v n="$((records / 10))" 'BEGIN {
    printf "   peak memory quorvik %.1f MB (one core %.1f MB, %.1f MB at %d records), pgdbf %.1f MB\n",
      q / 1024, o / 1024, t / 1024, n, p / 1024 }'
  echo "   script sizes: quorvik $(stat -c %s "$out/$table.sql") bytes, pgdbf $(stat -c %s "$out/$table.pg.sql") bytes"
  # The scripts of the larger tables run to gigabytes: only the tenth-size ones are kept.
  rm -f "$out/$table.sql" "$out/$table.pg.sql"
  if ((pgdbf_ok)); then
    summary+=("$(printf '%-10s %10s %10s %10s %10s %12s' "$table" "$(ratio "$q2" "$p2")" \
      "$(ratio "$c2" "$d2")" "$(ratio "$q1" "$p1")" "$(ratio "$q1" "$q2")" \
      "$(awk -v q="${peak[q2]}" 'BEGIN { printf "%.1f", q / 1024 }')")")
  else
    summary+=("$(printf '%-10s %10s %10s %10s %10s %12s' "$table" "no pgdbf" "-" "-" \
      "$(ratio "$q1" "$q2")" "$(awk -v q="${peak[q2]}" 'BEGIN { printf "%.1f", q / 1024 }')")")
  fi
}

echo "machine: $(nproc) cores, load before the runs: $(cut -d ' ' -f 1-3 /proc/loadavg)"
bench_table "dBase III with memo" dbase3 people dbt cp1252
bench_table "Visual FoxPro" vfp items "" cp1252
bench_table "text, Windows-1252" text1252 letters "" cp1252
bench_table "text, code page 866" text866 cyrillic "" cp866
bench_table "FoxPro 2 with a memo on every record" memo docs fpt cp1252
bench_table "numbers, Visual FoxPro" numeric measures "" cp1252
bench_table "wide, 200 fields" wide survey "" cp1252
echo "load after the runs: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo
echo "Medians, quorvik over pgdbf (below 1: quorvik is faster); speed-up: quorvik on one core over two"
printf '%-10s %10s %10s %10s %10s %12s\n' table "wall 2cpu" "CPU" "wall 1cpu" "speed-up" "quorvik MB"
printf '%s\n' "${summary[@]}"
