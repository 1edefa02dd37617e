#!/usr/bin/env bash
# Builds the Debian package build-package/quorvik_<version>_amd64.deb (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DQV_BENCH=OFF >/dev/null
cmake --build build-package -j "$(nproc)" --target quorvik
(cd build-package && cpack -G DEB >/dev/null)
ls build-package/quorvik_*_amd64.deb
