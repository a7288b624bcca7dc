#!/bin/bash
# Times `zentrel vectorize` against potrace, alternating, on one synthetic
# 8000 x 6000 map sheet with 1,300 shapes: zentrel reads it as an 8-bit BMP
# file, potrace as the same sheet thresholded to a 1-bit PBM file. Reports
# wall-clock and CPU time and the peak resident memory of each run
# (/usr/bin/time), and the median of each with its bytes per pixel. The
# tool is also run writing JSON, and writing GeoJSON (which loads its GDAL
# module), and as 'zentrel --version' (the program alone).
#
# usage: bench/vectorize_vs_potrace.sh [BUILD_DIR [WORK_DIR]]
#   RUNS=5 (default 5) sets the number of runs of each program.
set -euo pipefail

build=${1:-build}
work=${2:-${TMPDIR:-/tmp}/zentrel-vectorize-bench}
runs=${RUNS:-5}
zentrel=$build/tools/zentrel
sheets=$build/tools/zentrel-testsheets
for tool in "$zentrel" "$sheets" potrace convert /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 2; }
done
mkdir -p "$work"
sheet=$work/sheet.bmp
pbm=$work/sheet.pbm
if [ ! -s "$sheet" ]; then
  # Paper in the library's default background colour, which the tool takes
  # as paper without being told.
  "$sheets" make default-8 8000x6000 1300 1 "$sheet"
fi
if [ ! -s "$pbm" ]; then
  # Paper is 231..239 grey; every ink is darker than 90 % grey.
  convert "$sheet" -colorspace Gray -threshold 90% "$pbm"
fi

measure() {  # label command...: one line of wall s, user s, system s, peak KiB
  local label=$1
  shift
  /usr/bin/time -f "$label %e %U %S %M" -o "$work/time.txt" "$@" > "$work/out.txt"
  cat "$work/time.txt"
}

{
  for ((i = 0; i < runs; i++)); do
    measure zentrel "$zentrel" vectorize "$sheet"
    measure zentrel+json "$zentrel" vectorize "$sheet" --json "$work/sheet.json"
    measure zentrel+geojson "$zentrel" vectorize "$sheet" --geojson "$work/sheet.geojson"
    measure zentrel--version "$zentrel" --version
    measure potrace potrace -b svg -o "$work/sheet.svg" "$pbm"
  done
} > "$work/runs.txt"

"$zentrel" vectorize "$sheet" | tail -n 1 | sed 's/^/zentrel: /'
echo "sheet: $sheet (8000 x 6000, 8-bit; 2 bytes per pixel = 93750 KiB)"
echo
echo "| program | runs | median wall s | median user s | median system s | median peak KiB | bytes per pixel |"
echo "|---|---|---|---|---|---|---|"
for label in zentrel zentrel+json zentrel+geojson zentrel--version potrace; do
  median() { grep "^$label " "$work/runs.txt" | awk -v c="$1" '{print $c}' | sort -g |
             awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
  peak=$(median 5)
  echo "| $label | $runs | $(median 2) | $(median 3) | $(median 4) | $peak |" \
       "$(awk -v k="$peak" 'BEGIN {printf "%.2f", k * 1024 / 48e6}') |"
done
