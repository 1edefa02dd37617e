#!/usr/bin/env bash
# Installs everything the project needs to build and test on Debian 12.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libicu-dev libgtest-dev libgmock-dev
  libbenchmark-dev freetds-dev freetds-bin libgnutls28-dev qt6-base-dev qtkeychain-qt6-dev xvfb xauth xz-utils dpkg-dev man-db groff-base clang libclang-rt-14-dev pgdbf python3-dbfread time)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
