#!/usr/bin/env bash
# The interactive page as a browser shows it: headless Chromium, with no
# network, opens pages that tabrino map writes and must draw the land,
# every camera and the names of places. The page says on its body what it
# drew (data-state, data-drawn, data-view, data-zoom, data-places); a
# screenshot must show land, sea and the types' colours. Exits 77 (skipped)
# without Chromium.
#   camera_page_test.sh TABRINO SAMPLE_LIST WORK_DIR
set -euo pipefail
tabrino=$1 sample=$2 work=$3

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "SKIPPED: Chromium is not installed (scripts/install-deps.sh installs Debian's chromium)"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# A fresh profile each run; a proxy that refuses every connection keeps the
# page offline (the page must need none).
browse() {  # browse OPTION FILE: --dump-dom or --screenshot=OUT
  rm -rf profile
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$work/profile" \
    --proxy-server=127.0.0.1:9 --window-size=1200,800 --virtual-time-budget=10000 \
    --enable-logging=stderr --v=0 "$1" "file://$work/$2" 2>>browser.log
}

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Checks the body's report of the drawing: expect_drawn FILE COUNT VIEW;
# the page as drawn stays in FILE.dom.
expect_drawn() {
  local body
  browse --dump-dom "$1" >"$1.dom" || true
  body=$(grep -o '<body[^>]*>' "$1.dom" || true)
  grep -q 'data-state="drawn"' <<<"$body" || fail "$1: never drawn ($body)"
  grep -q "data-drawn=\"$2\"" <<<"$body" || fail "$1: not $2 cameras drawn ($body)"
  grep -q "data-view=\"$3\"" <<<"$body" || fail "$1: not drawn as $3 ($body)"
}

# The sample: 35 cameras of five types over Europe, each drawn as a mark.
"$tabrino" map "$sample" -o sample.html -q
expect_drawn sample.html 35 marks
# Places are named over the cameras, the most important first.
grep -qE 'class="[^"]*tabrino-place[^>]*>Berlin<' sample.html.dom || fail "sample.html: Berlin is not named"
places=$(grep -o 'data-places="[0-9]*"' sample.html.dom | tr -dc 0-9)
[ "${places:-0}" -ge 10 ] && [ "${places:-0}" -le 40 ] || fail "sample.html: ${places:-no} place names, not 10 to 40"

# Cameras on both sides of the 180th meridian lie side by side: the first
# view shows their island (zoom 10 or more), not the whole world.
printf 'IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,179.9,-16.5,1,60,0,0\n2,-179.9,-16.6,2,60,0,0\n' >dateline.txt
"$tabrino" map dateline.txt -o dateline.html -q
expect_drawn dateline.html 2 marks
zoom=$(grep -o 'data-zoom="[0-9.]*"' dateline.html.dom | cut -d'"' -f2)
awk -v zoom="${zoom:-0}" 'BEGIN { exit !(zoom >= 10) }' || fail "dateline.html: drawn at zoom ${zoom:-none}, not 10 or more"

# 30,000 cameras in one city: too many for marks, drawn as a grid.
awk 'BEGIN { print "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION";
             for (i = 1; i <= 30000; ++i) printf "%d,%.6f,%.6f,%d,60,1,%d\n", i, 13.2 + (i % 173) / 500, 52.4 + (i % 191) / 800, 1 + i % 5, i % 360 }' \
  >crowded.txt
"$tabrino" map crowded.txt --format html -q
[ -f crowded.html ] || fail "--format html did not write crowded.html"
expect_drawn crowded.html 30000 density

# The grid counts cameras per km², on the picture's fixed classes: the same
# ground density gives the same class at the equator and at 60°N, where a
# Web Mercator cell covers a quarter of the ground; its key is shown.
for place in "equator 0" "north 60"; do
  set -- $place
  awk -v lat0="$2" 'BEGIN { print "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION"; km = 1.826; pi = atan2(0, -1);
             dlat = km / 111.32; dlon = km / (111.32 * cos(lat0 * pi / 180));
             for (i = 0; i < 158; ++i) for (j = 0; j < 158; ++j)
               printf "%d,%.6f,%.6f,1,60,0,0\n", i * 158 + j + 1, 10 + (j - 79) * dlon, lat0 + (i - 79) * dlat }' >"$1.txt"
  "$tabrino" map "$1.txt" -o "$1.html" -q
  browse --dump-dom "$1.html#7.5/$2/10" >"$1.html.dom" || true
  body=$(grep -o '<body[^>]*>' "$1.html.dom" || true)
  grep -q 'data-view="density"' <<<"$body" || fail "$1.html: not drawn as a grid ($body)"
  grep -q 'data-density-mode="0.1"' <<<"$body" || fail "$1.html: not mostly 0.1 to 1 per km² ($body)"
  grep -q '<div class="tabrino-key[^"]*"[^>]*><b>Cameras per km²</b><br><i style="background:#ffe680"></i>below 0.001' \
    "$1.html.dom" || fail "$1.html: no key to the grid"
done

# A click on a camera shows what it is: one camera, which the page centres,
# clicked where it is drawn.
printf 'IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n7,13.4,52.5,5,60,2,90\n' >one.txt
"$tabrino" map one.txt -o one.html -q
cat >>one.html <<'EOF'
<script>
var box = document.getElementById('map').getBoundingClientRect();
var centre = {clientX: box.left + box.width / 2, clientY: box.top + box.height / 2, bubbles: true};
document.getElementById('map').dispatchEvent(new MouseEvent('click', centre));
</script>
EOF
popup=$(browse --dump-dom one.html | grep -o '<div class="leaflet-popup-content"[^>]*>.*' || true)
expected='<b>IDX 7, line 2</b>: Mobile camera<br>Speed: 60 km/h<br>Direction: headings 90° and 270°<br>52.5000, 13.4000<br><a class="tabrino-link" href="#18/52.5000/13.4000">'
grep -qF "$expected" <<<"$popup" || fail "the pop-up of the camera is not $expected ($popup)"

# Mending a list from the page. Three rows at one point are all reachable:
# a count beside the mark, and the pop-up lists every one. The search field
# finds a camera by IDX (even one with markup in it) or a point by lat,lon;
# the address follows the view, and a new address moves the map.
printf 'IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\nA1,13.40,52.50,1,50,0,0\nA2,13.40,52.50,2,60,0,0\n<b>&3,13.40,52.50,5,70,1,90\nB,13.42,52.51,1,50,0,0\nC,13.3812345,52.4898765,1,50,1,235\n' >stack.txt
"$tabrino" map stack.txt -o stack.html -q
cp stack.html search.html
cat >>search.html <<'EOF'
<script>
(function () {
  var input = document.querySelector('.tabrino-search input'), seen = [];
  function search(text) {
    input.value = text;
    input.dispatchEvent(new KeyboardEvent('keydown', {key: 'Enter', bubbles: true}));
    var popups = document.querySelectorAll('.leaflet-popup-content'), popup = popups[popups.length - 1];
    seen.push(text + ' => [' + document.body.dataset.found + '] ' + (popup ? popup.textContent : '') + ' @ ' +
              document.body.dataset.hash);
  }
  search('Z9');
  search('<b>&3');
  search('52.4898, 13.3812');
  document.body.dataset.searches = seen.join(' | ');
  location.hash = '#9/48.10000/11.50000';
})();
</script>
EOF
# As the dialog writes it for several lists, a line is named in its own list.
sed 's|<ul id="lists">|<ul id="lists"><li data-first="0">a.txt</li><li data-first="3">b.txt</li>|' search.html >lists.html
searched=$(browse --dump-dom lists.html)
grep -qF 'IDX A1, a.txt line 2: Fixed camera' <<<"$searched" || fail "lists.html: line 2 is not named a.txt line 2"
grep -qF 'IDX &lt;b&gt;&amp;3, b.txt line 1: Mobile camera' <<<"$searched" ||
  fail "lists.html: line 4 is not named b.txt line 1 ($(grep -o 'data-searches="[^"]*"' <<<"$searched"))"
stack=$(browse --dump-dom stack.html)
grep -q 'data-stacks="1"' <<<"$stack" || fail "stack.html: no count beside the point of three cameras"
grep -qE '<canvas[^>]* aria-label="5 cameras on the map' <<<"$stack" || fail "stack.html: the canvas has no name"
searched=$(browse --dump-dom search.html)
searches=$(grep -o 'data-searches="[^"]*"' <<<"$searched" | sed 's/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g')
for expected in 'Z9 => [No camera with IDX Z9]' \
                '<b>&3 => [] 3 cameras at this pointIDX A1, line 2: Fixed cameraSpeed: 50 km/h' \
                'IDX <b>&3, line 4: Mobile cameraSpeed: 70 km/hDirection: heading 90°52.5000, 13.4000Link' \
                '@ #17/52.50000/13.40000 | 52.4898, 13.3812 => [] IDX C, line 6: Fixed cameraSpeed: 50 km/hDirection: heading 234° (list 235°, stored in 2° steps)52.4898765, 13.3812345 (stored 52.4898, 13.3812)'; do
  grep -qF "$expected" <<<"$searches" || fail "search.html: no \"$expected\" in $searches"
done
grep -q 'data-hash="#9/48.10000/11.50000"' <<<"$searched" ||
  fail "search.html: a new address did not move the map ($(grep -o 'data-hash="[^"]*"' <<<"$searched"))"

# Offline, the page runs without an error of its own.
if grep -E 'Uncaught|SyntaxError' browser.log; then fail "the page's script failed (browser.log above)"; fi

# The screenshot shows what was drawn: sea, land, and the marks of the
# fixed (blue) and mobile (orange) cameras, in their exact colours.
browse --screenshot="$work/sample.png" sample.html >/dev/null
if [ ! -s sample.png ]; then
  fail "no screenshot"
elif command -v convert >/dev/null; then
  colours=$(convert sample.png -format %c histogram:info:- | grep -oE '#[0-9A-F]{6}' | sort -u)
  for colour in D3E5F1 F3F0E6 0072B2 E69F00; do
    grep -q "#$colour" <<<"$colours" || fail "the screenshot has no #$colour"
  done
else
  echo "ImageMagick is not installed: the screenshot's colours were not checked"
fi

[ "$failures" -eq 0 ] || exit 1
echo "The pages were drawn (screenshot: $work/sample.png)"
