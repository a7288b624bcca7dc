#!/usr/bin/env bash
# Builds the library and the zentrel tool in build/ and runs the main job:
# the bundled sample sheet vectorised into demo-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$jobs" --target zentrel
build/tools/zentrel demo demo-out
