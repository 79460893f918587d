#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and builds every example in examples/ as an
# outside project against it, once through find_package(vorlan) and once through pkg-config,
# then runs each: BUILD is the configured build folder (default build). When the build makes the
# Debian packages (configured with -DBUILD_SHARED_LIBS=ON), the prefix is those packages unpacked
# into a scratch root with dpkg -x, as dpkg would install them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")

if [ -f "$build/CPackConfig.cmake" ]; then
  cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
  for deb in "$work"/deb/vorlan_*.deb "$work"/deb/libvorlan-dev_*.deb; do
    echo "-- $(basename "$deb"): depends on $(dpkg-deb -f "$deb" Depends)"
    dpkg-deb -f "$deb" Depends | grep -q 'libc6.*libstdc++6'
    dpkg -x "$deb" "$work/root"
  done
  prefix=$work/root/usr
  # The program says the version its package carries; its manual page is the build's, compressed.
  [ "$("$prefix/bin/vorlan" --version)" = "vorlan $(dpkg-deb -f "$work"/deb/vorlan_*.deb Version)" ]
  zcat "$prefix/share/man/man1/vorlan.1.gz" | cmp - "$build/tools/vorlan.1"
else
  cmake --install "$build" --prefix "$work/prefix" >/dev/null
  prefix=$work/prefix
fi
# The package's version file, and the shared library when the build made one.
test -f "$prefix/$libdir/cmake/vorlan/vorlanConfigVersion.cmake"
shared=$(grep -c '^BUILD_SHARED_LIBS:BOOL=ON' "$build/CMakeCache.txt" || true)
if ((shared)); then test -L "$prefix/$libdir/libvorlan.so"; fi
echo "hello, vorlan: $(date)" >"$work/plain.txt"

cmake -S examples -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" -j"$(nproc)" >/dev/null
mkdir "$work/pc"
for source in examples/*.cpp; do
  name=$(basename "$source" .cpp)
  # shellcheck disable=SC2046
  g++ -std=c++20 "$source" -o "$work/pc/$name" \
    $(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs vorlan)
  # -lvorlan takes the shared library where there is one, as the linker does.
  if ((shared)); then readelf -d "$work/pc/$name" | grep -q 'NEEDED.*libvorlan\.so\.1'; fi
done

for kind in cmake pc; do
  for source in examples/*.cpp; do
    name=$(basename "$source" .cpp)
    echo "-- $name ($kind)"
    LD_LIBRARY_PATH="$prefix/$libdir" bash "examples/$name.run" "$work/$kind/$name" "$work"
  done
done
