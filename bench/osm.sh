#!/usr/bin/env bash
# Times `tabrino convert EXTRACT` beside osmium-tool picking the same objects
# out of the same extract (the yardstick: a reader that does nothing but
# filter), with both peak memories, on a synthetic extract of NODES nodes
# (bench/generate_extract.cpp writes it as XML; osmium cat makes the PBF).
#
#   bench/osm.sh [BUILD_DIR]   (default: build-bench, a Release build of its own)
#   NODES=1000000 RUNS=3 bench/osm.sh
# Needs osmium-tool; uses hyperfine when installed, else the best of RUNS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
nodes=${NODES:-4000000}
runs=${RUNS:-5}

if [ ! -x "$build/bin/tabrino" ] || [ ! -x "$build/bin/generate_extract" ] || [ -z "${1:-}" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" --target tabrino generate_extract >/dev/null
fi
data="$build/bench-data"
mkdir -p "$data"
extract="$data/synthetic-$nodes.osm.pbf"
if [ ! -s "$extract" ]; then
  "$build/bin/generate_extract" "$nodes" >"$data/synthetic-$nodes.osm"
  osmium cat --overwrite "$data/synthetic-$nodes.osm" -o "$extract"
  rm "$data/synthetic-$nodes.osm"
fi
tabrino=("$build/bin/tabrino" convert "$extract" -q -o "$data" --date 2014-11-14 --seed 1)
osmium=(osmium tags-filter "$extract" n/highway=speed_camera r/type=enforcement --overwrite -o "$data/filtered.osm.pbf")
printf -v tabrino_line '%q ' "${tabrino[@]}"
printf -v osmium_line '%q ' "${osmium[@]}"

echo "extract: $extract ($(du -h "$extract" | cut -f1), $nodes nodes)"
if command -v hyperfine >/dev/null; then
  hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$data/osm-times.json" \
    -n tabrino "$tabrino_line" -n osmium "$osmium_line"
  read -r ours theirs < <(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"]; print(r[0]["median"], r[1]["median"])' "$data/osm-times.json")
else
  best() {
    local best="" start stop
    for _ in $(seq "$runs"); do
      start=$(date +%s%N); "$@" >/dev/null 2>&1; stop=$(date +%s%N)
      if [ -z "$best" ] || [ $((stop - start)) -lt "$best" ]; then best=$((stop - start)); fi
    done
    awk -v n="$best" 'BEGIN{printf "%.4f", n / 1e9}'
  }
  ours=$(best "${tabrino[@]}") theirs=$(best "${osmium[@]}")
fi
peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/{printf "%.0f", $2 / 1024}'; }
ours_peak=$(peak "${tabrino[@]}") theirs_peak=$(peak "${osmium[@]}")
size=$(stat -c %s "$extract")
awk -v a="$ours" -v b="$theirs" -v pa="$ours_peak" -v pb="$theirs_peak" -v s="$size" 'BEGIN {
  printf "%-8s %9s %10s\n", "", "time (s)", "peak (MB)"
  printf "%-8s %9.3f %10d\n", "tabrino", a, pa
  printf "%-8s %9.3f %10d\n", "osmium", b, pb
  printf "tabrino / osmium: %.2f x the time (target: at most 1.3)\n", a / b
  # Both read every block, so time grows with the file: a country of 4 GB
  # (Germany, 2024) takes the same seconds per byte.
  printf "per GB of PBF: tabrino %.1f s, osmium %.1f s; a 4 GB country: about %.0f s and %.0f s\n",
         a / s * 1e9, b / s * 1e9, a / s * 4e9, b / s * 4e9
}'
