#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for
# SECONDS (default 60) on a work copy of its seed corpus in fuzz/corpus-work/.
# Naming targets runs only those. Exits non-zero when any target finds a
# crash, a leak, a hang or a failed check; the input that did it is kept in
# build-fuzz/artifacts/<target>/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     e.g. scripts/fuzz.sh 600 fuzz_read_bmp
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZENTREL_FUZZ=ON -DZENTREL_WERROR=ON -DZENTREL_BUILD_TESTS=OFF -DZENTREL_BUILD_TOOLS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
  work=fuzz/corpus-work/$target
  artifacts=build-fuzz/artifacts/$target
  rm -rf "$work"
  mkdir -p "$work" "$artifacts"
  [ -d "fuzz/corpus/$target" ] && cp -r "fuzz/corpus/$target/." "$work/"
  echo "== $target: ${seconds}s on $(find "$work" -type f | wc -l) seed inputs"
  if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" >"build-fuzz/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 60 "build-fuzz/$target.log"
  fi
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)' \
    "build-fuzz/$target.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]} (inputs in build-fuzz/artifacts/)"
  exit 1
fi
echo "Fuzzing: no problem found in ${targets[*]}"
