#!/usr/bin/env bash
# Times `tabrino convert` of a GPX of WAYPOINTS waypoints (as our own
# `dump --format gpx` writes it, from a generated list) beside the yardsticks
# on the same file: `xmllint --stream --noout` (an XML reader that only
# checks the text) and `gpsbabel -i gpx -o unicsv` (a converter of the same
# file), with each peak memory. The GeoJSON dump of the same database is
# timed too.
#
#   bench/formats.sh [BUILD_DIR]   (default: build-bench, a Release build of its own)
#   WAYPOINTS=100000 RUNS=3 bench/formats.sh
# Needs xmllint (libxml2-utils) and gpsbabel; uses hyperfine when installed,
# else the best of RUNS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
waypoints=${WAYPOINTS:-1000000}
runs=${RUNS:-5}

if [ ! -x "$build/bin/tabrino" ] || [ ! -x "$build/bin/generate_list" ] || [ -z "${1:-}" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" --target tabrino generate_list >/dev/null
fi
data="$build/bench-data"
mkdir -p "$data"
gpx="$data/waypoints-$waypoints.gpx"
geojson="$data/waypoints-$waypoints.geojson"
if [ ! -s "$gpx" ] || [ ! -s "$geojson" ]; then
  "$build/bin/generate_list" "$waypoints" >"$data/waypoints-list.txt"
  mkdir -p "$data/waypoints-db"
  "$build/bin/tabrino" convert "$data/waypoints-list.txt" -q -o "$data/waypoints-db" --date 2014-11-14 --seed 1
  "$build/bin/tabrino" dump "$data/waypoints-db/DB_141114.dbh" --format gpx -o "$gpx"
  "$build/bin/tabrino" dump "$data/waypoints-db/DB_141114.dbh" --format geojson -o "$geojson"
  rm "$data/waypoints-list.txt"
fi

source "$here/measure.sh"

mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN{printf "%.0f", b / 1048576}'; }
row() {  # name, file, then the command
  local name=$1 file=$2
  shift 2
  read -r seconds kib < <(measure "$@")
  printf '%-34s %8s %9s %8s\n' "$name" "$(mb "$file")" "$seconds" "$((kib / 1024))"
  echo "$seconds" >"$data/last-seconds"
}
printf '%-34s %8s %9s %8s\n' "" "file MB" "seconds" "peak MB"
row "tabrino convert GPX" "$gpx" "$build/bin/tabrino" convert "$gpx" -q -o "$data" --date 2014-11-14 --seed 1
ours=$(cat "$data/last-seconds")
row "xmllint --stream --noout" "$gpx" xmllint --stream --noout "$gpx"
xmllint=$(cat "$data/last-seconds")
row "gpsbabel -i gpx -o unicsv" "$gpx" gpsbabel -i gpx -f "$gpx" -o unicsv -F "$data/waypoints.unicsv"
babel=$(cat "$data/last-seconds")
row "tabrino convert GeoJSON" "$geojson" "$build/bin/tabrino" convert "$geojson" -q -o "$data" --date 2014-11-14 --seed 1
awk -v o="$ours" -v x="$xmllint" -v b="$babel" \
  'BEGIN{printf "convert GPX ÷ xmllint: %.2f; gpsbabel ÷ convert GPX: %.2f\n", o / x, b / o}'
