#!/usr/bin/env bash
# Builds the library and the robustness tests with ThreadSanitizer in
# build-tsan/ and runs the test that uses many records on several threads
# at once. Fails on any data race.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2
tsan=(-fsanitize=thread -fno-omit-frame-pointer)
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTREL_WERROR=ON \
  -DZENTREL_BUILD_TOOLS=OFF -DZENTREL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="${tsan[*]}" -DCMAKE_EXE_LINKER_FLAGS="${tsan[*]}" \
  -DCMAKE_SHARED_LINKER_FLAGS="${tsan[*]}" >/dev/null
cmake --build build-tsan -j"$jobs" --target test_robust
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
build-tsan/tests/test_robust --gtest_filter='Threads.*'
