#!/usr/bin/env bash
# The interactive map page for a generated list of a million cameras: the
# time tabrino map takes to read the list and write the page, the page's
# size, and how long headless Chromium takes from opening the page until it
# has drawn every camera (the page's script ends by saying so on its body).
#
#   bench/page.sh [BUILD_DIR] (default: build-bench)   ROWS=100000 bench/page.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
rows=${ROWS:-1000000}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tabrino generate_list >/dev/null
data="$build/bench-data"
mkdir -p "$data"
list="$data/list-$rows.txt"
[ -s "$list" ] || "$build/bin/generate_list" "$rows" >"$list"

best=""
for _ in 1 2 3; do
  start=$(date +%s%N)
  "$build/bin/tabrino" map "$list" -o "$data/page.html" -q
  t=$(( $(date +%s%N) - start ))
  if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
done
echo "write: $(awk -v n="$best" 'BEGIN{printf "%.3f", n / 1e9}') s (best of 3), page: $(stat -c %s "$data/page.html") bytes"

browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "no Chromium: the drawing was not timed"; exit 0; }
echo '<script>document.body.dataset.ms = Math.round(performance.now());</script>' >>"$data/page.html"
rm -rf "$data/profile"
body=$(timeout 300 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run --user-data-dir="$data/profile" \
  --proxy-server=127.0.0.1:9 --window-size=1200,800 --dump-dom "file://$data/page.html" 2>/dev/null |
  grep -o '<body[^>]*>')
echo "drawn in Chromium: $(grep -o 'data-ms="[0-9]*"' <<<"$body" | tr -dc 0-9) ms from opening the page" \
     "($(grep -o 'data-drawn="[0-9]*"' <<<"$body" | tr -dc 0-9) cameras, $(grep -o 'data-view="[a-z]*"' <<<"$body" | cut -d'"' -f2))"
