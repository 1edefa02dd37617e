#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer and AddressSanitizer) in build-fuzz and runs
# them on their seed corpora for a bounded time (default 90 seconds, at most 90, split evenly):
# dbf_fuzz on tables (fuzz/corpus), index_fuzz on index files (fuzz/index_corpus),
# dbc_property_fuzz on container property memos (fuzz/corpus_dbc_property). New inputs they
# find go to build-fuzz/<corpus>, never into the committed seeds; a crash leaves its input in
# build-fuzz/artifacts and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-90}
[ "$seconds" -le 90 ] || seconds=90
share=$((seconds / 3))
[ "$share" -ge 1 ] || share=1
sanitize="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$sanitize" -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target dbf_fuzz index_fuzz dbc_property_fuzz
mkdir -p build-fuzz/artifacts
run() {  # target, committed seeds, longest input
  mkdir -p "build-fuzz/$2"
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/fuzz/$1" "build-fuzz/$2" "fuzz/$2" \
    -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len="$3" \
    -artifact_prefix="build-fuzz/artifacts/$1-" -print_final_stats=1
}
run dbf_fuzz corpus 65536
run index_fuzz index_corpus 16384
run dbc_property_fuzz corpus_dbc_property 16384
