#!/usr/bin/env bash
# Installs, builds and runs every test: once in a normal build, once under ASan and UBSan,
# then the DBF reader's fuzz target on its seed corpus for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$(nproc)"
# What the script loading test loaded, for the log (ctest shows a passing test's output only
# when asked).
ctest --test-dir build -R '^script_load[.]every' -V 2>&1 | grep -E 'loaded [0-9]+ tables|skipped|Skipped' || true
scripts/build.sh build-asan -DQV_SANITIZE=ON -DQV_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
scripts/fuzz.sh 60
