#!/usr/bin/env bash
# Builds the library and its tools in build/ and runs the main job on the
# bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs" --target example_host
build/tools/example_host
