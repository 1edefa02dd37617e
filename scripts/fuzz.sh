#!/usr/bin/env bash
# Builds the DBF fuzz target with clang (libFuzzer and AddressSanitizer) in build-fuzz and runs
# it on the seed corpus for a bounded time (default 90 seconds, at most 90). New inputs it
# finds go to build-fuzz/corpus, never into the committed seeds; a crash leaves its input in
# build-fuzz/artifacts and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-90}
[ "$seconds" -le 90 ] || seconds=90
sanitize="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$sanitize" -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target dbf_fuzz
mkdir -p build-fuzz/corpus build-fuzz/artifacts
ASAN_OPTIONS=detect_leaks=1 build-fuzz/fuzz/dbf_fuzz build-fuzz/corpus fuzz/corpus \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1
