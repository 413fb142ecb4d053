#!/usr/bin/env bash
# A camera export against what dump writes of the same database, for a
# database of a million cameras converted from a generated list:
#
#   export ov2 ÷ dump gpx   `export --format ov2` (the skipper tree and all)
#                           over `dump --format gpx`               (at most 2)
#
# and, for scale, a split export by type and speed with icons and a cap of
# 5000 cameras per file, and GPX written by export (which sorts by place).
#
#   bench/export.sh [BUILD_DIR]   (default: build-bench, a Release build of its own)
#   ROWS=100000 RUNS=3 bench/export.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
runs=${RUNS:-5}
rows=${ROWS:-1000000}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target tabrino generate_list >/dev/null
data="$build/bench-data"
out="$data/out-export"
rm -rf "$out" && mkdir -p "$out/split"
list="$data/list-$rows.txt"
[ -s "$list" ] || "$build/bin/generate_list" "$rows" > "$list"
tabrino="$build/bin/tabrino"
"$tabrino" convert "$list" -o "$out" --date 2014-11-14 --seed 1 -q
database="$out/DB_141114.dbh"

source "$here/measure.sh"

read -r dump_t dump_m < <(measure "$tabrino" dump "$database" --format gpx -o "$out/dump.gpx" -q)
read -r ov2_t ov2_m < <(measure "$tabrino" export "$database" --format ov2 -o "$out/cameras.ov2" -q)
read -r gpx_t gpx_m < <(measure "$tabrino" export "$database" --format gpx -o "$out/export.gpx" -q)
read -r split_t split_m < <(measure "$tabrino" export "$database" --format ov2 --output-dir "$out/split" \
  --split-by type,speed --max-per-file 5000 --icons -q)

printf '%-34s %9s %8s %9s\n' "$rows cameras" "time s" "÷ dump" "peak MB"
row() {
  awk -v n="$1" -v t="$2" -v p="$dump_t" -v m="$3" \
    'BEGIN { printf "%-34s %9.3f %8.2f %9.1f\n", n, t, t / p, m / 1024 }'
}
row "dump --format gpx" "$dump_t" "$dump_m"
row "export --format ov2" "$ov2_t" "$ov2_m"
row "export --format gpx" "$gpx_t" "$gpx_m"
row "export ov2 split, capped, icons" "$split_t" "$split_m"
echo "ov2: $(stat -c %s "$out/cameras.ov2") bytes; split: $(ls "$out/split" | grep -c '\.ov2$') files"
"$tabrino" inspect "$out/cameras.ov2" | tail -n 3
echo "(time: median of $runs runs with hyperfine, else the best; peak MB: maximum resident set from /usr/bin/time)"
