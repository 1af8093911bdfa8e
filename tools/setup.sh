#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the tools need.
set -euo pipefail
pkgs=(
  build-essential g++ cmake ninja-build python3 pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libmpfr-dev libgmp-dev libmpc-dev libsleef-dev
  libblas-dev liblapack-dev libgomp1
  python3-numpy python3-scipy python3-matplotlib python3-mpmath
  clang-14 libclang-rt-14-dev librandom123-dev
  pybind11-dev python3-dev python3-pytest
)
need=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
