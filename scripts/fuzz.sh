#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer and AddressSanitizer) in build-fuzz and runs
# them on their seed corpora for a bounded time (default 90 seconds, at most 90, split evenly):
# dbf_fuzz on tables (fuzz/corpus), index_fuzz on index files (fuzz/index_corpus). New inputs
# they find go to build-fuzz/corpus and build-fuzz/index_corpus, never into the committed seeds;
# a crash leaves its input in build-fuzz/artifacts and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-90}
[ "$seconds" -le 90 ] || seconds=90
half=$((seconds / 2))
[ "$half" -ge 1 ] || half=1
sanitize="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$sanitize" -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target dbf_fuzz index_fuzz
mkdir -p build-fuzz/corpus build-fuzz/index_corpus build-fuzz/artifacts
ASAN_OPTIONS=detect_leaks=1 build-fuzz/fuzz/dbf_fuzz build-fuzz/corpus fuzz/corpus \
  -max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1
ASAN_OPTIONS=detect_leaks=1 build-fuzz/fuzz/index_fuzz build-fuzz/index_corpus fuzz/index_corpus \
  -max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -artifact_prefix=build-fuzz/artifacts/index- -print_final_stats=1
