#!/usr/bin/env bash
# Where a conversion's time goes at a million rows and at ten million, side
# by side in one run, with the ratio of each phase (bench/phases: read,
# import, sort, encode, sync; best of RUNS runs each). A cost that grows in
# proportion with the list has a ratio of 10.
#
#   bench/phases.sh [BUILD_DIR]   (default: build-bench)   RUNS=3 bench/phases.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
runs=${RUNS:-5}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target generate_list phases >/dev/null
data="$build/bench-data"
mkdir -p "$data/phases-out"
for rows in 1000000 10000000; do
  [ -s "$data/list-$rows.txt" ] || "$build/bin/generate_list" "$rows" >"$data/list-$rows.txt"
done

small=$("$build/bin/phases" "$data/list-1000000.txt" "$data/phases-out" "$runs")
large=$("$build/bin/phases" "$data/list-10000000.txt" "$data/phases-out" "$runs")
printf '%-8s %10s %10s %8s\n' phase 1M 10M "10M/1M"
paste <(grep ' ms$' <<<"$small") <(grep ' ms$' <<<"$large") |
  awk '{ printf "%-8s %7.1f ms %7.1f ms %7.1fx\n", $1, $2, $5, ($2 > 0 ? $5 / $2 : 0) }'
echo "(best of $runs runs each; import includes its own read)"
rm -rf "$data/phases-out"
