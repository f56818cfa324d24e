#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds
# (default 60). Findings are written to tests/fuzz/ as crash-*, leak-* or
# timeout-* files; the growing corpora stay in tests/fuzz/corpus-*/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUN_FUZZ=ON
cmake --build build-fuzz --target fuzz_document fuzz_keystrokes fuzz_registry

for target in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="tests/fuzz/corpus-${name#fuzz_}"
  seeds="tests/fuzz/seeds/${name#fuzz_}"
  mkdir -p "$corpus"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=tests/fuzz/ -print_final_stats=1 "$corpus" $( [ -d "$seeds" ] && echo "$seeds" )
done
