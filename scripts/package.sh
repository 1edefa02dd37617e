#!/usr/bin/env bash
# Builds the Debian package build-package/quorvik_<version>_amd64.deb (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DQV_BENCH=OFF >/dev/null
# The wizard too where the build has it (Qt 6 installed): its install rules need it built.
targets=(quorvik)
if cmake --build build-package --target help | grep -q '^talvex:'; then targets+=(talvex); fi
cmake --build build-package -j "$(nproc)" --target "${targets[@]}"
(cd build-package && cpack -G DEB >/dev/null)
ls build-package/quorvik_*_amd64.deb
