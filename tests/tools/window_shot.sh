#!/bin/sh
# Runs the demo in a real X window and grabs the X screen while it holds
# its last picture (run under xvfb-run on a screen the window's size):
#   window_shot.sh DEMO IMPORT OUTDIR
# The demo plays 10 frames, takes one palette step with nothing moving and
# holds; the screen is grabbed with ImageMagick's import, then the demo is
# asked to quit (SDL turns SIGTERM into a quit) and must end cleanly.
set -u
demo=$1
import=$2
out=$3
log=$out/live.log

"$demo" --window --frames 10 --palette-step --hold --out "$out/live" > "$log" 2>&1 &
pid=$!
tries=0
until [ -f "$log" ] && grep -q "^holding" "$log"; do
  tries=$((tries + 1))
  if [ "$tries" -gt 600 ] || ! kill -0 "$pid" 2>/dev/null; then
    echo "the demo never held its picture:"
    cat "$log"
    kill "$pid" 2>/dev/null
    exit 1
  fi
  sleep 0.1
done
timeout 60 "$import" -window root "$out/screen.png"
grabbed=$?
kill -TERM "$pid"
wait "$pid"
status=$?
cat "$log"
[ "$grabbed" -eq 0 ] || { echo "import failed ($grabbed)"; exit 1; }
[ "$status" -eq 0 ] || { echo "the demo ended with $status when asked to quit"; exit 1; }
