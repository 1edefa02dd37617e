#!/usr/bin/env bash
# Installs, builds and converts the bundled sample folder into a T-SQL script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only the program the demo runs; scripts/test.sh builds the rest.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quorvik
mkdir -p out
build/src/quorvik --src=samples/shop --dest=out/shop.sql --dump
echo "Script written to $(pwd)/out/shop.sql"
