#!/usr/bin/env bash
# Times `tabrino from-osm` (and peak memory, from /usr/bin/time -v) on
# extracts of N cameras, each the middle node of a road of its own and
# without maxspeed, so that every camera looks up its road: the speed comes
# from the road, and with --osm-direction travel ("forward") the bearing
# too. The time should grow as the cameras do.
#
#   bench/osm_roads.sh [TABRINO]   (default: build/bin/tabrino)
#   CAMERAS="20000 40000 80000" bench/osm_roads.sh
# Needs osmium-tool (the .osm written here becomes .osm.pbf with osmium cat).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tabrino=${1:-$(dirname "$here")/build/bin/tabrino}
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT

extract() {
  awk -v n="$1" 'BEGIN {
    print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    print "<osm version=\"0.6\" generator=\"tabrino bench\">"
    for (i = 0; i < n; i++) {
      lat = 47 + (i % 1000) * 0.004; lon = 6 + int(i / 1000) * 0.004
      printf " <node id=\"%d\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"/>\n", 3 * i + 1, lat, lon
      printf " <node id=\"%d\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"><tag k=\"highway\" v=\"speed_camera\"/>", 3 * i + 2, lat + 0.001, lon + 0.001
      printf "<tag k=\"direction\" v=\"forward\"/></node>\n"
      printf " <node id=\"%d\" version=\"1\" lat=\"%.7f\" lon=\"%.7f\"/>\n", 3 * i + 3, lat + 0.002, lon + 0.002
    }
    for (i = 0; i < n; i++) {
      printf " <way id=\"%d\" version=\"1\"><nd ref=\"%d\"/><nd ref=\"%d\"/><nd ref=\"%d\"/>", i + 1, 3 * i + 1, 3 * i + 2, 3 * i + 3
      printf "<tag k=\"highway\" v=\"primary\"/><tag k=\"maxspeed\" v=\"70\"/></way>\n"
    }
    print "</osm>" }'
}

printf '%-8s %-7s %10s %10s %10s\n' cameras travel "PBF (KB)" "time (s)" "peak (MB)"
for n in ${CAMERAS:-20000 40000 80000}; do
  extract "$n" >"$data/roads.osm"
  osmium cat --overwrite "$data/roads.osm" -o "$data/roads.osm.pbf"
  for direction in "" travel; do
    /usr/bin/time -v "$tabrino" from-osm "$data/roads.osm.pbf" -q -o "$data/roads.txt" \
      ${direction:+--osm-direction "$direction"} 2>"$data/time.txt"
    awk -v n="$n" -v d="${direction:-no}" -v kb="$(($(stat -c %s "$data/roads.osm.pbf") / 1024))" -F': ' '
      /Elapsed/ { split($2, t, ":"); s = t[1] * 60 + t[2] }
      /Maximum resident/ { m = $2 / 1024 }
      END { printf "%-8d %-7s %10d %10.2f %10.1f\n", n, d, kb, s, m }' "$data/time.txt"
  done
done
