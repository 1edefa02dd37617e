# Sourced by the benchmark scripts (from the top of the tree): building quorvik, writing the
# benchmark tables, and `median`.

# Ends the run when one of the tools named is missing.
bench_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 1; }
  done
}

# Builds quorvik (Release) into $build under the shared build lock and sets `quorvik` to it.
# BENCH_NO_BUILD=1 takes the binary already there, without waiting for the lock.
bench_build() {
  if [ "${BENCH_NO_BUILD:-0}" != 1 ] || [ ! -x "$build/src/quorvik" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    flock /tmp/qv-build.lock cmake --build "$build" -j "$(nproc)" --target quorvik >/dev/null
  fi
  quorvik=$build/src/quorvik
}

# Writes the tables of make_tables.py (all, or the table folders named) into a folder, again
# only when the record count or the table writer has changed since the last time.
make_tables() {  # folder, record count, table folders...
  local stamp
  stamp="$2 $(cat bench/make_tables.py bench/shape_tables.py | sha256sum | cut -c 1-16)"
  if [ "$(cat "$1/records" 2>/dev/null)" != "$stamp" ]; then
    local what="$2-record tables"
    [ $# -gt 2 ] && what+=" (${*:3})"
    echo "writing $what into $1"
    rm -rf "$1"
    mkdir -p "$1"
    "${python:-python3}" bench/make_tables.py "$@"
    echo "$stamp" >"$1/records"
  fi
}

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
