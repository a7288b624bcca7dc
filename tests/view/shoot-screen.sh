#!/usr/bin/env bash
# Shows a sheet with zentrel-view on a virtual X screen (Xvfb, no window
# manager) and takes a picture of the screen with ImageMagick's import: the
# whole screen, or with --crop only the viewer's window. With --keys, types
# the keys into the viewer first (xdotool's names, such as "r plus o"),
# then presses s and waits until the viewer has saved what it shows (into
# the folder of OUT) before taking the picture.
# usage: shoot-screen.sh [--crop] [--keys KEYS] OUT VIEWER [VIEWER ARGUMENTS...]
# Exits 77 when a tool it needs is missing. ZENTREL_SCREEN sets the screen
# (default 1280x800x24).
set -euo pipefail

if [ "${1:-}" != --inside ]; then
  for tool in xvfb-run import xdotool; do
    if ! command -v "$tool" >/dev/null; then
      echo "skipped: $tool is not installed"
      exit 77
    fi
  done
  exec xvfb-run -a -s "-screen 0 ${ZENTREL_SCREEN:-1280x800x24} -nolisten tcp" "$0" --inside "$@"
fi
shift

crop=0
keys=
while :; do
  case "$1" in
    --crop) crop=1; shift ;;
    --keys) keys=$2; shift 2 ;;
    *) break ;;
  esac
done
out=$1
viewer=$2
shift 2

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Waits until the viewer's output has a line matching $1 (30 s at most).
wait_for() {
  for _ in $(seq 300); do
    grep -q "$1" "$log" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
}

folder=$(dirname "${out#*:}")
# SDL's software renderer: the picture does not depend on a GL driver, and a
# sanitizer build does not trip over such a driver's leaks; the one leak of
# the desktop's message bus library is known and left aside.
export SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan-desktop.supp"
(cd "$folder" && exec "$viewer" "$@" --report-ready) >"$log" 2>&1 &
pid=$!
# The viewer says "ready: window at X,Y, W x H" once its first frame is shown.
wait_for '^ready:'
read -r x y w h < <(sed -n 's/^ready: window at \(-\?[0-9]*\),\(-\?[0-9]*\), \([0-9]*\) x \([0-9]*\)$/\1 \2 \3 \4/p' "$log")
if [ -n "$keys" ]; then
  # Without a window manager the keyboard follows the pointer.
  xdotool mousemove $((x + w / 2)) $((y + h / 2))
  # shellcheck disable=SC2086  # one word per key
  xdotool key --delay 20 $keys s
  wait_for '^saved '
fi
# Let the X server settle the last drawing requests.
sleep 0.3
if [ "$crop" = 1 ]; then
  import -window root -crop "${w}x${h}+${x}+${y}" +repage -type TrueColor "$out"
else
  import -window root -type TrueColor "$out"
fi
kill -TERM "$pid"
wait "$pid"
