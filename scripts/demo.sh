#!/usr/bin/env bash
# Builds the library and its command-line program when needed, then runs the demonstration.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build -j"$(nproc)" --target vorlan_cli >/dev/null
exec build/bin/vorlan demo "$@"
