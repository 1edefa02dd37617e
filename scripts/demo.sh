#!/usr/bin/env bash
# Installs, builds and converts the bundled sample folder into a T-SQL script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
mkdir -p out
build/src/quorvik --src=samples/shop --dest=out/shop.sql --dump
echo "Script written to $(pwd)/out/shop.sql"
