#!/usr/bin/env bash
# Direct-mode throughput: rows per second into a server through quorvik's bulk copy, through
# its INSERT path, and through FreeTDS's own `freebcp in` of the same rows from a character
# file (what a DBA would reach for).
#
#   bench/run_direct.sh [RECORDS] [RUNS]     (defaults: 200000 records, 3 runs)
#   BENCH_BASELINE=<commit> bench/run_direct.sh   also times that commit's quorvik on the
#                                              table of blank texts (built the same way)
#   DIRECT_TABLES= bench/run_direct.sh         the table of blank texts alone
#
# The server is the one named by QV_MSSQL_SERVER / QV_MSSQL_USER / QV_MSSQL_PASSWORD, or else
# a Babelfish test server started from ../shared/babelfish for the run (its default build,
# whose bulk load works with FreeTDS). The INSERT path runs on a tenth of the rows: it is
# about fifteen times slower. Each figure is the median of RUNS runs. "bulk rows/s" is a whole
# quorvik run (logins, creating the table, reading it, loading, the closing row count check);
# "load rows/s" leaves out what a run with --tab_def takes (logins and creating the table),
# which freebcp, loading into a table that exists, does not do either. Under each table, the
# client's CPU time per row (user + system) and peak memory of each way of loading.
# Then six copies of the Visual FoxPro table load with --jobs=1 and --jobs=3 (rows/s, peak
# memory and CPU per row of each), and a table of mostly blank texts (BLANK_RECORDS records,
# 150000 by default: eight C(20) fields, three values in four blank) is loaded by bulk copy, by
# this build and by the baseline's when one is named, and its load time printed, so that two
# ways of loading empty texts can be compared (a second pass over the loaded table, or none).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
records=${1:-200000}
runs=${2:-3}
build=${BENCH_BUILD:-$root/build-bench}
data=${BENCH_DIR:-$build/bench-tables}

. bench/bench_common.sh
bench_require freebcp tsql /usr/bin/time python3
. bench/bench_server.sh

BENCH_NO_BUILD=0 bench_build

# The same folders and stamp as run.sh, so that the two scripts share their tables.
if [ -n "${DIRECT_TABLES-vfp dbase3}" ]; then
  make_tables "$data/full" "$records"
  make_tables "$data/tenth" "$((records / 10))"
fi
work=$(mktemp -d /tmp/qv-bench-direct.XXXXXX)
trap 'rm -rf "$work"; stop_bench_server' EXIT

# One run: wall seconds, CPU seconds (user + system) and peak resident KB of the program.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/t" "$@" >/dev/null 2>&1
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/t"
}
column() { printf '%s\n' "${@:2}" | awk -v c="$1" '{ print $c }' | median; }  # n, runs...

quorvik_run() {  # load path, folder, database, more options
  QUORVIK_LOAD_PATH=$1 measure "${run_quorvik:-$quorvik}" --src="$2" --dest="$3" --mode=1 --silent \
    --mssqlh="$QV_MSSQL_SERVER" --mssqlu="$QV_MSSQL_USER" --mssqlp="$QV_MSSQL_PASSWORD" "${tls_args[@]}" "${@:4}"
}

[ -n "${DIRECT_TABLES-vfp dbase3}" ] &&
  printf '%-8s %9s %12s %12s %14s %15s %7s %7s\n' table rows "bulk rows/s" "load rows/s" "INSERT rows/s" "freebcp rows/s" ratio "ratio'"
for sub in ${DIRECT_TABLES-vfp dbase3}; do
  table=$(basename "$data/full/$sub"/*.dbf .dbf)
  db=qvbench_$sub
  bulk=() insert=() bcp=() define=()
  for ((i = 1; i <= runs; ++i)); do
    define+=("$(quorvik_run bulk "$data/full/$sub" "$db" --tab_def)")
    bulk+=("$(quorvik_run bulk "$data/full/$sub" "$db")")
    insert+=("$(quorvik_run insert "$data/tenth/$sub" "${db}_ins")")
  done
  # freebcp loads the rows quorvik put there, exported to a character file.
  schema=$(sql "$db" "SELECT SCHEMA_NAME(schema_id) FROM sys.tables WHERE name = '$table'" |
    awk 'NF == 1 && $1 !~ /^[0-9]+>/ { print $1; exit }')
  TDSVER=7.4 freebcp "$schema.$table" out "$work/rows.txt" -c -S "$QV_MSSQL_SERVER" \
    -U "$QV_MSSQL_USER" -P "$QV_MSSQL_PASSWORD" -D "$db" >/dev/null 2>&1
  rows=$(wc -l <"$work/rows.txt")
  for ((i = 1; i <= runs; ++i)); do
    sql "$db" "TRUNCATE TABLE [$schema].[$table]" >/dev/null
    bcp+=("$(TDSVER=7.4 measure freebcp "$schema.$table" in "$work/rows.txt" -c -b 1000 \
      -S "$QV_MSSQL_SERVER" -U "$QV_MSSQL_USER" -P "$QV_MSSQL_PASSWORD" -D "$db")")
  done
  b=$(column 1 "${bulk[@]}") d=$(column 1 "${define[@]}") n=$(column 1 "${insert[@]}")
  f=$(column 1 "${bcp[@]}")
  awk -v t="$table" -v r="$records" -v b="$b" -v d="$d" -v n="$n" -v f="$f" -v rows="$rows" 'BEGIN {
    printf "%-8s %9d %12.0f %12.0f %14.0f %15.0f %7.2f %7.2f\n", t, r, r / b, r / (b - d),
      r / 10 / n, rows / f, (r / b) / (rows / f), (r / (b - d)) / (rows / f) }'
  # The client's side: CPU per row and peak memory of quorvik (bulk, INSERT) and of freebcp.
  awk -v r="$records" -v rows="$rows" -v cb="$(column 2 "${bulk[@]}")" \
    -v ci="$(column 2 "${insert[@]}")" -v cf="$(column 2 "${bcp[@]}")" \
    -v mb="$(column 3 "${bulk[@]}")" -v mi="$(column 3 "${insert[@]}")" \
    -v mf="$(column 3 "${bcp[@]}")" 'BEGIN {
    printf "%-8s client CPU us/row: bulk %.2f, INSERT %.2f, freebcp %.2f (bulk/freebcp %.2f)\n",
      "", 1e6 * cb / r, 1e6 * ci / (r / 10), 1e6 * cf / rows, (cb / r) / (cf / rows)
    printf "%-8s peak MB: bulk %.1f, INSERT %.1f, freebcp %.1f\n", "", mb / 1024, mi / 1024,
      mf / 1024 }'
done
if [ -n "${DIRECT_TABLES-vfp dbase3}" ]; then
  echo "ratio: whole-run bulk rows/s over freebcp rows/s; ratio': load rows/s over freebcp rows/s"
  echo "(above 1: quorvik is faster)"
fi

# Six copies of the Visual FoxPro table loaded by bulk copy one after the other and three at a
# time, each on its own connection: whole runs, rows/s, peak memory and client CPU per row
# (medians).
if [ -n "${DIRECT_TABLES-vfp dbase3}" ]; then
  six=$data/six
  mkdir -p "$six"
  for k in 1 2 3 4 5 6; do cp -u "$data/full/vfp/items.dbf" "$six/items$k.dbf"; done
  printf '\n%-8s %9s %10s %12s %10s %12s\n' jobs rows "run s" "rows/s" "peak MB" "CPU us/row"
  declare -A rate
  for jobs in 1 3; do
    whole=()
    for ((i = 1; i <= runs; ++i)); do
      whole+=("$(quorvik_run bulk "$six" qvbench_six --jobs=$jobs)")
    done
    b=$(column 1 "${whole[@]}") c=$(column 2 "${whole[@]}") m=$(column 3 "${whole[@]}")
    rate[$jobs]=$(awk -v r="$records" -v b="$b" 'BEGIN { printf "%.0f", 6 * r / b }')
    awk -v j="--jobs=$jobs" -v r="$records" -v b="$b" -v m="$m" -v c="$c" 'BEGIN {
      printf "%-8s %9d %10.2f %12.0f %10.1f %12.2f\n", j, 6 * r, b, 6 * r / b, m / 1024,
        1e6 * c / (6 * r) }'
  done
  awk -v a="${rate[3]}" -v b="${rate[1]}" 'BEGIN { printf "--jobs=3 over --jobs=1: %.2f\n", a / b }'
fi

# The table of blank texts, whole runs and loads by bulk copy (the median of RUNS each).
blank_records=${BLANK_RECORDS:-150000}
make_tables "$data/blank" "$blank_records" blank
builds=("$quorvik")
labels=(this)
if [ -n "${BENCH_BASELINE:-}" ]; then
  base=$build-baseline
  rev=$(git rev-parse --short "$BENCH_BASELINE")
  rm -rf "$base/src-tree"
  mkdir -p "$base/src-tree"
  git archive "$rev" | tar -x -C "$base/src-tree"
  cmake -S "$base/src-tree" -B "$base" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  flock /tmp/qv-build.lock cmake --build "$base" -j "$(nproc)" --target quorvik >/dev/null
  builds+=("$base/src/quorvik")
  labels+=("$rev")
fi
printf '\n%-8s %-9s %9s %12s %12s %12s\n' table build rows "run s" "load s" "load rows/s"
for k in "${!builds[@]}"; do
  run_quorvik=${builds[$k]}
  whole=() define=()
  for ((i = 1; i <= runs; ++i)); do
    define+=("$(quorvik_run bulk "$data/blank/blank" qvbench_blank --tab_def)")
    whole+=("$(quorvik_run bulk "$data/blank/blank" qvbench_blank)")
  done
  b=$(column 1 "${whole[@]}") d=$(column 1 "${define[@]}")
  awk -v l="${labels[$k]}" -v r="$blank_records" -v b="$b" -v d="$d" 'BEGIN {
    printf "%-8s %-9s %9d %12.2f %12.2f %12.0f\n", "remarks", l, r, b, b - d, r / (b - d) }'
done
unset run_quorvik
