#!/usr/bin/env bash
# Runs every test of the build in ./build (tools/setup.sh makes it), then
# each fuzz target briefly under libFuzzer with sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)"
bash fuzz/run.sh "${TRELVO_FUZZ_SECONDS:-20}"
