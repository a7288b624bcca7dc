#!/usr/bin/env bash
# Installs the built library into a temporary prefix, then builds and runs a
# host against it twice: through find_package and through pkg-config.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null
cmake -S "$source_dir" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/build" > /dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64:${LD_LIBRARY_PATH:-}" "$work/build/consumer"
pc_dir=$(dirname "$(find "$work/prefix" -name zentrel.pc)")
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs zentrel)
# shellcheck disable=SC2086
c++ -std=c++17 "$source_dir/consumer.cpp" $flags -o "$work/consumer-pc"
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64:${LD_LIBRARY_PATH:-}" "$work/consumer-pc"
echo "installed package found and used through CMake and pkg-config"
