#!/usr/bin/env bash
# Installs what building the program needs when it is missing, builds it when needed, then runs
# the demonstration.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
vorlan_install "${vorlan_build_packages[@]}"
if [ ! -f build/CMakeCache.txt ]; then
  echo "building the library and the program in build/ (the first time takes a few minutes)"
  # Without the tests and benchmarks, whose packages only the test command installs.
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVORLAN_TESTS=OFF -DVORLAN_BENCH=OFF >/dev/null
fi
cmake --build build -j"$(nproc)" --target vorlan_cli >/dev/null
exec build/bin/vorlan demo "$@"
