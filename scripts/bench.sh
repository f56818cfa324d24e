#!/bin/sh
# Builds and runs the benchmarks in bench/ and prints their figures.
# Timings depend on the machine; compare figures within one run.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUN_BENCH=ON
cmake --build build

for benchmark in build/bench/bench_*; do
  [ -x "$benchmark" ] || continue
  echo "== $(basename "$benchmark")"
  "$benchmark" "$@"
done
