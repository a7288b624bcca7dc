#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is
# missing. Does nothing on a machine that has them all.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev   # tests and benchmarks
  clang libclang-rt-14-dev                     # fuzzers and sanitizer runtimes
  libgif-dev libpng-dev                        # test-only oracles and reference images; libpng also for Zentrel::IO
  libnetpbm-dev libtiff-dev                    # Zentrel::IO (PNM) and the TIFF test oracle
  libgdal-dev gdal-bin python3-gdal            # companion I/O library, vector outputs, GDAL tools
  nlohmann-json3-dev                           # the tool's JSON
  libsdl2-dev xvfb xauth x11-apps xdotool      # the viewer and its screen tests
  imagemagick python3-pil netpbm libtiff-tools # test-only oracles and file makers
  python3-ezdxf potrace parallel               # test- and bench-only peers
  libopencv-imgproc-dev                        # bench-only peer
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
