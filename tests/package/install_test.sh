#!/bin/sh
# Installs nrx into a temporary prefix and uses it as a user would: a C program built with
# find_package(nrx) and one built with pkg-config, the nrx program from the prefix, and
# the same prefix moved elsewhere. Usage: install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER WORK_DIR
set -eu
build=$1 src=$2 cc=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
prefix=$work/prefix
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"
lib=$prefix/lib

# Versioned sonames with their links.
for l in nrx_core nrx_zar_avx512; do
  [ -L "$lib/lib$l.so" ] || fail "lib$l.so is not a link"
  [ -L "$lib/lib$l.so.1" ] || fail "lib$l.so.1 is not a link"
  readelf -d "$lib/lib$l.so" | grep -q "SONAME.*\[lib$l.so.1\]" || fail "lib$l.so has no soname lib$l.so.1"
done
# Nothing installed may point into the build tree.
for f in "$lib"/lib*.so.1.* "$prefix/bin/nrx"; do
  if readelf -d "$f" | grep -E 'RUNPATH|RPATH' | grep -q "$build"; then fail "$f keeps a build-tree run path"; fi
done
for h in core zar zar_functions rng stats fit status version; do
  [ -f "$prefix/include/nrx/$h.h" ] || fail "header nrx/$h.h not installed"
done

# find_package(nrx) with nrx::nrx alone.
cmake -S "$src/tests/package/consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_C_COMPILER="$cc" \
      -DCMAKE_PREFIX_PATH="$prefix" > "$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "configure with find_package"; }
cmake --build "$work/cmake-build" > "$work/cmake-build.log" 2>&1 || { cat "$work/cmake-build.log"; fail "build with find_package"; }
"$work/cmake-build/consumer" || fail "find_package consumer"

# pkg-config, with the run path the user would add.
export PKG_CONFIG_PATH="$lib/pkgconfig"
[ "$(pkg-config --modversion nrx)" = "$(sed -n 's/#define NRX_VERSION_STRING "\(.*\)"/\1/p' "$prefix/include/nrx/version.h")" ] \
  || fail "pkg-config version differs from nrx/version.h"
# shellcheck disable=SC2046
"$cc" -std=c99 -o "$work/pc-consumer" "$src/tests/package/consumer/consumer.c" $(pkg-config --cflags --libs nrx) -lm \
      -Wl,-rpath,"$(pkg-config --variable=libdir nrx)" || fail "build with pkg-config"
"$work/pc-consumer" || fail "pkg-config consumer"

# The installed program finds its libraries and data from its own place, also once moved.
"$prefix/bin/nrx" --version | grep -q "^nrx $(pkg-config --modversion nrx)\$" || fail "nrx --version"
mv "$prefix" "$work/moved"
NRX_DATA_DIR= ; unset NRX_DATA_DIR
"$work/moved/bin/nrx" stats > "$work/stats.out" || fail "moved nrx stats"
grep -q "48 observations of 4 variables" "$work/stats.out" || fail "moved nrx stats output"
"$work/moved/bin/nrx" fit --grid 3 > "$work/fit.out" || fail "moved nrx fit"
[ "$(wc -l < "$work/fit.out")" -eq 4 ] || fail "moved nrx fit output"
echo "install, find_package, pkg-config and relocation: ok"
