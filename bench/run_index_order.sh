#!/usr/bin/env bash
# Indexes after the load against indexes before it: the Visual FoxPro benchmark table (RECORDS
# records) with a structural .cdx of three tags (a candidate key on ID, LABEL, SOLD), loaded
# into a server by bulk copy.
#
#   bench/run_index_order.sh [RECORDS] [RUNS]     (defaults: 1000000 records, 1 run)
#
# "after" is one quorvik run as it converts such a table: create it, load the rows, then create
# the three indexes. "before" is the order the indexes used to come in: the table with its
# indexes first (quorvik --tab_def, then the three CREATE INDEX statements), then the same rows
# loaded into it (quorvik --mode=3 --no_indexes). Each figure is the median of RUNS runs, in
# seconds of wall time. The server is found as bench/run_direct.sh finds it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
records=${1:-1000000}
runs=${2:-1}
build=${BENCH_BUILD:-$root/build-bench}
folder=$build/index-order-tables/vfp

. bench/bench_common.sh
bench_require tsql /usr/bin/time python3
. bench/bench_server.sh

BENCH_NO_BUILD=0 bench_build

if [ "$(cat "$folder/records" 2>/dev/null)" != "$records" ]; then
  echo "writing the $records-record table into $folder"
  rm -rf "$folder" && mkdir -p "$(dirname "$folder")"
  python3 bench/make_tables.py "$(dirname "$folder")" "$records" vfp
  # Only a .cdx header and tag directory: quorvik never reads the key pages.
  python3 -c "
import sys; sys.path.insert(0, 'fuzz')
from make_corpus import cdx
open('$folder/items.cdx', 'wb').write(cdx([(b'ID', b'id', b'', 0x04, False),
                                          (b'LABEL', b'label', b'', 0, False),
                                          (b'SOLD', b'sold', b'', 0, False)]))"
  echo "$records" >"$folder/records"
fi

work=$(mktemp -d /tmp/qv-bench-index.XXXXXX)
trap 'rm -rf "$work"; stop_bench_server' EXIT
now() { date +%s.%N; }
quorvik_run() {  # database, more options
  QUORVIK_LOAD_PATH=bulk "$quorvik" --src="$folder" --dest="$1" --silent \
    --mssqlh="$QV_MSSQL_SERVER" --mssqlu="$QV_MSSQL_USER" --mssqlp="$QV_MSSQL_PASSWORD" "${tls_args[@]}" "${@:2}" \
    >"$work/out" 2>&1 || { cat "$work/out" >&2; exit 1; }
}

after=() before=()
for ((i = 1; i <= runs; ++i)); do
  t0=$(now)
  quorvik_run qvbench_after --mode=0
  t1=$(now)
  quorvik_run qvbench_before --mode=0 --tab_def --no_indexes
  schema=$(sql qvbench_before "SELECT SCHEMA_NAME(schema_id) FROM sys.tables WHERE name = 'items'" |
    awk 'NF == 1 && $1 !~ /^[0-9]+>/ { print $1; exit }')
  sql qvbench_before "CREATE UNIQUE INDEX [ID] ON [$schema].[items]([ID])
CREATE INDEX [LABEL] ON [$schema].[items]([LABEL])
CREATE INDEX [SOLD] ON [$schema].[items]([SOLD])" >/dev/null
  quorvik_run qvbench_before --mode=3 --no_indexes
  t2=$(now)
  after+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
  before+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN { print b - a }')")
done
indexes=$(sql qvbench_after "SELECT COUNT(*) FROM sys.indexes WHERE object_id = OBJECT_ID('$schema.items') AND name IS NOT NULL" |
  awk 'NF == 1 && $1 ~ /^[0-9]+$/ { print $1; exit }')
a=$(printf '%s\n' "${after[@]}" | median)
b=$(printf '%s\n' "${before[@]}" | median)
awk -v r="$records" -v a="$a" -v b="$b" -v n="$indexes" 'BEGIN {
  printf "%d records, three indexes (%s on the server after the run)\n", r, n
  printf "indexes after the load:  %7.1f s\nindexes before the load: %7.1f s\nbefore / after: %.2f\n", a, b, b / a }'
