#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and builds every example in examples/ as an
# outside project against it, once through find_package(vorlan) and once through pkg-config,
# then runs each: BUILD is the configured build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
# The package's version file, and the shared library when the build made one.
test -f "$work/prefix/lib/cmake/vorlan/vorlanConfigVersion.cmake"
if grep -q '^BUILD_SHARED_LIBS:BOOL=ON' "$build/CMakeCache.txt"; then test -f "$work/prefix/lib/libvorlan.so"; fi
echo "hello, vorlan: $(date)" >"$work/plain.txt"

cmake -S examples -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" -j"$(nproc)" >/dev/null
mkdir "$work/pc"
for source in examples/*.cpp; do
  name=$(basename "$source" .cpp)
  # shellcheck disable=SC2046
  g++ -std=c++20 "$source" -o "$work/pc/$name" \
    $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs vorlan)
done

for kind in cmake pc; do
  for source in examples/*.cpp; do
    name=$(basename "$source" .cpp)
    echo "-- $name ($kind)"
    bash "examples/$name.run" "$work/$kind/$name" "$work"
  done
done
