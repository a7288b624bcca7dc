#!/usr/bin/env bash
# Installs the built library into a temporary prefix, then builds and runs a
# host against it twice: through find_package and through pkg-config, the
# latter without LD_LIBRARY_PATH (the .pc files carry the rpath for a
# prefix outside the system folders). With Zentrel::IO installed, a second
# host uses it both ways, and the installed zentrel runs its demo from the
# prefix's sample.
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
"$work/consumer-pc"
echo "installed package found and used through CMake and pkg-config"
if [ -f "$pc_dir/zentrel-io.pc" ]; then
  mkdir "$work/out"
  "$work/build/io_consumer" "$work/out"
  io_flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs zentrel-io)
  # shellcheck disable=SC2086
  c++ -std=c++17 "$source_dir/io_consumer.cpp" $io_flags -o "$work/io-consumer-pc"
  "$work/io-consumer-pc" "$work/out"
  echo "installed Zentrel::IO found and used through CMake and pkg-config"
fi
if [ -x "$work/prefix/bin/zentrel" ]; then
  # demo-samples-under-prefix: run from elsewhere, the installed demo finds
  # its sample under its own prefix.
  (cd "$work" && "$work/prefix/bin/zentrel" demo demo-out) | grep -F "$work/prefix/share/zentrel/samples/sheet.gif"
  echo "installed zentrel demo found its sample under the prefix"
  # The installed tool loads its GDAL module from the prefix for the vector
  # outputs (LD_LIBRARY_PATH unset: the module's rpath finds the libraries).
  if [ -n "$(find "$work/prefix" -name 'zentrel-gdal.so')" ]; then
    (cd "$work" && env -u LD_LIBRARY_PATH LD_DEBUG=files "$work/prefix/bin/zentrel" vectorize \
      "$work/prefix/share/zentrel/samples/sheet.gif" --geojson "$work/sample.geojson" \
      > /dev/null 2> "$work/loads.txt")
    grep -q "file=$work/prefix/[^ ]*zentrel-gdal.so" "$work/loads.txt"
    grep -q '"FeatureCollection"' "$work/sample.geojson"
    echo "installed zentrel loaded its GDAL module from the prefix"
  fi
fi
