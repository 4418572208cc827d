#!/usr/bin/env bash
# fuzz/run.sh [SECONDS] [TARGET...]
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) in build-fuzz
# and runs each for SECONDS (default 60) from its seed corpus. New inputs go
# to fuzz-out/<target>/; a crash stops the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

if ! command -v clang++ >/dev/null; then
  echo "fuzz/run.sh: clang++ is not installed (tools/setup.sh installs it)" >&2
  exit 1
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRELVO_BUILD_FUZZ=ON -DTRELVO_BUILD_TESTS=OFF -DTRELVO_BUILD_BENCH=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/*/; do
    [ -f "$dir/CMakeLists.txt" ] && targets+=("fuzz_$(basename "$dir")")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz/run.sh: no fuzz targets"; exit 0; }

cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  corpus=fuzz/$name/corpus
  out=fuzz-out/$name
  mkdir -p "$out"
  echo "== $t for ${seconds}s"
  build-fuzz/bin/$t -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$out/" "$out" "$corpus" 2>&1 | tail -n 12
done
