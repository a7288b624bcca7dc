#!/usr/bin/env bash
# Builds the library and its tests with clang in build-clang/ and runs them:
# where the two compilers differ (the order in which a call's arguments are
# worked out, inline functions, vector code generation), faults that one of
# them hides show up under the other.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
CC=clang CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Release -DZENTREL_WERROR=ON \
  -DZENTREL_BUILD_TOOLS=OFF
cmake --build build-clang -j"$jobs"
ctest --test-dir build-clang -j"$jobs" --output-on-failure "$@"
