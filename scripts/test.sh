#!/usr/bin/env bash
# The whole test suite: a warnings-as-errors build and its tests, the reference (doxygen, warnings as
# errors), each subsystem linked alone with what it requires, the quiet set-up, the Debian packages,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, the tests of values shared by
# threads under ThreadSanitizer, then each fuzz target for a bounded time.
# FUZZ_SECONDS sets the time per fuzz target (default 20).
# --quick: only the warnings-as-errors build and its tests (the edit loop); a further argument is a
# ctest regular expression choosing the tests, e.g. `bash scripts/test.sh --quick '^store\.'`.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
vorlan_install "${vorlan_build_packages[@]}" "${vorlan_test_packages[@]}"
jobs=$(nproc)

echo "== build and test (release, -Werror)"
# Both libraries, so that the Debian packages are made from this build; the tests and benchmarks are
# named since the demonstration configures build/ without them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVORLAN_WERROR=ON -DBUILD_SHARED_LIBS=ON -DVORLAN_TESTS=ON \
  -DVORLAN_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
if [ "${1:-}" = --quick ]; then
  ctest --test-dir build --output-on-failure -j"$jobs" ${2:+-R "$2"}
  echo "== quick tests passed"
  exit 0
fi
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== the reference (doxygen; a public name without documentation fails)"
cmake --build build --target docs

echo "== each subsystem linked alone with what it requires"
cmake --build build -j"$jobs" --target vorlan_closures

echo "== a client outside the tree compiles against vorlan/vorlan.h and links libvorlan.a alone"
client=$(mktemp -d)
g++ -std=c++20 -Wall -Wextra -Wpedantic -Werror -I. tests/standalone/app.cpp build/lib/libvorlan.a -lpthread \
  -o "$client/app"
"$client/app"
rm -rf "$client"

echo "== the set-up installs missing packages quietly (apt-get stood in for)"
bash scripts/deps_test.sh

echo "== the Debian packages, unpacked: examples built through find_package(vorlan) and through pkg-config"
bash scripts/package_test.sh build

# The sanitized builds use clang at -O1 with line tables only: a third of the compile time of
# an optimised build with full debug information, and the reports still name file and line.
sanitized_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
                 -DVORLAN_BENCH=OFF)

echo "== build and test (address and undefined-behaviour sanitizers), with the fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build-asan "${sanitized_flags[@]}" -DVORLAN_SANITIZE=ON -DVORLAN_FUZZ=ON \
  >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== threads sharing decoded values (thread sanitizer; x509 and what it requires)"
CC=clang CXX=clang++ cmake -S . -B build-tsan "${sanitized_flags[@]}" -DVORLAN_SANITIZE=thread \
  -DVORLAN_SUBSYSTEMS=x509 >/dev/null
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j"$jobs"

echo "== fuzz"
shopt -s nullglob
for target in build-asan/bin/fuzz_*; do
  name=${target##*/fuzz_}
  work=$(mktemp -d)
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "-- $name (${FUZZ_SECONDS:-20}s)"
  # New inputs go to the scratch corpus; the committed seeds are only read.
  "$target" "$work" "${seeds[@]}" -max_total_time="${FUZZ_SECONDS:-20}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" 2>&1 | tail -n 15
  rm -rf "$work"
done
echo "== all tests passed"
