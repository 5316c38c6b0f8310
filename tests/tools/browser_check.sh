#!/usr/bin/env bash
# The match in a real browser: builds the web page (scripts/web.sh), serves it
# on 127.0.0.1 on a free port, plays it in headless Chromium and checks that
# the canvas holds, pixel for pixel, the frame the native demo draws for the
# same seed and frame count (CRC-32 of the RGBA pixels), and that the page
# reported no error.
#   browser_check.sh SOURCE_DIR DEMO WORK_DIR
# Exits 77 (skipped) where emscripten or Chromium is not installed.
set -euo pipefail
src=$1
demo=$2
work=$3
# 40 frames: the kick-off fade, the half-time wipe at frame 20 (the match is
# as long as the run) and colour cycling after it.
seed=1
frames=40

for tool in emcmake chromium python3; do
  if ! command -v "$tool" > /dev/null; then
    echo "skipped: $tool not installed (Debian: emscripten, chromium)"
    exit 77
  fi
done

# The build tree is kept between runs, so that a second run only relinks.
mkdir -p "$work"
rm -rf "$work/native" "$work/profile" "$work/dom.html"
if ! bash "$src/scripts/web.sh" --build-only --out "$work/site" > "$work/build.log" 2>&1; then
  echo "the web build failed:"
  tail -40 "$work/build.log"
  exit 1
fi

want=$("$demo" --frames "$frames" --seed "$seed" --out "$work/native" --quiet --crc |
       sed -n 's/^last frame crc32: //p')
echo "native demo, seed $seed, $frames frames: crc32 $want"

# A server on a port the system picks; it says which on its first line.
python3 -c '
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
print(server.server_address[1], flush=True)
server.serve_forever()' "$work/site" > "$work/port" 2> "$work/server.log" &
server=$!
trap 'kill "$server" 2> /dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  sleep 0.1
done
port=$(head -1 "$work/port")
[ -n "$port" ] || { echo "the server did not start:"; cat "$work/server.log"; exit 1; }
url="http://127.0.0.1:$port/index.html?seed=$seed&frames=$frames"
echo "serving $work/site at $url"

# Virtual time: the page's timers (the wipe's 25 ms a strip) pass at once, and
# the DOM is dumped when the page has nothing left to do.
mkdir -p "$work/profile"
timeout 300 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --virtual-time-budget=600000 --dump-dom "$url" \
  > "$work/dom.html" 2> "$work/chromium.log" || {
  echo "chromium failed:"
  tail -20 "$work/chromium.log"
  exit 1
}

python3 - "$work/dom.html" "$want" "$frames" << 'EOF'
import html, json, re, sys
dom, want, frames = open(sys.argv[1]).read(), sys.argv[2], int(sys.argv[3])
found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
if not found or not found.group(1):
    sys.exit("the page wrote no result; its DOM:\n" + dom[-2000:])
result = json.loads(html.unescape(found.group(1)))
print("page:", json.dumps(result))
problems = []
if result["errors"]:
    problems.append("the page reported errors: " + "; ".join(result["errors"]))
if result["frames"] != frames:
    problems.append(f"the page played {result['frames']} frames, not {frames}")
if result["crc"] != want:
    problems.append(f"the canvas's crc32 is {result['crc']}, the native frame's {want}")
if problems:
    sys.exit("\n".join(problems))
print("the canvas shows the native frame")
EOF
