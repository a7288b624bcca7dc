#!/usr/bin/env bash
# Shows a sheet with zentrel-view on a virtual X screen (Xvfb, no window
# manager) and takes a picture of the screen with ImageMagick's import: the
# whole screen, or with --crop only the viewer's window.
# usage: shoot-screen.sh [--crop] OUT VIEWER [VIEWER ARGUMENTS...]
# Exits 77 when xvfb-run or import is missing. ZENTREL_SCREEN sets the
# screen (default 1280x800x24).
set -euo pipefail

if [ "${1:-}" != --inside ]; then
  for tool in xvfb-run import; do
    if ! command -v "$tool" >/dev/null; then
      echo "skipped: $tool is not installed"
      exit 77
    fi
  done
  exec xvfb-run -a -s "-screen 0 ${ZENTREL_SCREEN:-1280x800x24} -nolisten tcp" "$0" --inside "$@"
fi
shift

crop=0
if [ "$1" = --crop ]; then
  crop=1
  shift
fi
out=$1
viewer=$2
shift 2

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$viewer" "$@" --report-ready >"$log" 2>&1 &
pid=$!
# The viewer says "ready: window at X,Y, W x H" once its first frame is shown.
for _ in $(seq 300); do
  grep -q '^ready:' "$log" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '^ready:' "$log"; then
  cat "$log" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
fi
# Let the X server settle the last drawing requests.
sleep 0.3
read -r x y w h < <(sed -n 's/^ready: window at \(-\?[0-9]*\),\(-\?[0-9]*\), \([0-9]*\) x \([0-9]*\)$/\1 \2 \3 \4/p' "$log")
if [ "$crop" = 1 ]; then
  import -window root -crop "${w}x${h}+${x}+${y}" +repage -type TrueColor "$out"
else
  import -window root -type TrueColor "$out"
fi
kill -TERM "$pid"
wait "$pid"
