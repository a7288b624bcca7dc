#!/usr/bin/env bash
# Builds the library, tools and tests in build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZENTREL_BUILD_BENCH=ON -DZENTREL_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure "$@"
