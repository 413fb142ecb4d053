#!/usr/bin/env bash
# Converts generated lists of 10 thousand, 100 thousand and 1 million rows and
# prints, in one run, the conversion's time and peak memory beside `cat` of
# the same file (the floor: reading the bytes and nothing else).
#
#   bench/run.sh [BUILD_DIR]      (default: build-bench, a Release build of its
#                                  own, so the developer's build/ is left alone)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
runs=${RUNS:-5}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target tabrino generate_list >/dev/null
data="$build/bench-data"
mkdir -p "$data"

# Best wall time (seconds, from the clock in nanoseconds) over $runs runs, and
# the peak resident memory (KiB) of one more run.
measure() {
  local best="" start stop
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    stop=$(date +%s%N)
    local t=$(( stop - start ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  /usr/bin/time -o "$data/time.txt" -f '%M' "$@" >/dev/null 2>&1
  echo "$(awk -v n="$best" 'BEGIN{printf "%.4f", n / 1e9}') $(tail -n 1 "$data/time.txt")"
}

printf '%-9s %8s %8s %9s %7s %10s %9s %9s\n' list "file MB" "cat s" "convert s" "÷ cat" "peak MB" "÷ file" "cat MB"
# One line of figures for a list; `name` labels it.
bench_list() {
  local name=$1 list=$2 out="$data/out-$1"
  mkdir -p "$out"
  local bytes
  bytes=$(stat -c %s "$list")
  read -r cat_t cat_m < <(measure cat "$list")
  read -r conv_t conv_m < <(measure "$build/bin/tabrino" convert "$list" -o "$out" --date 2014-11-14 --seed 1)
  awk -v r="$name" -v b="$bytes" -v ct="$cat_t" -v cm="$cat_m" -v t="$conv_t" -v m="$conv_m" 'BEGIN {
    mb = b / 1048576;
    printf "%-9s %8.1f %8.3f %9.3f %7.1f %10.1f %9.2f %9.1f\n", r, mb, ct, t, (ct > 0 ? t / ct : 0), m / 1024, (m * 1024) / b, cm / 1024
  }'
}

for rows in 10000 100000 1000000; do
  list="$data/list-$rows.txt"
  [ -s "$list" ] || "$build/bin/generate_list" "$rows" > "$list"
  bench_list "$rows" "$list"
done
# The published lists, as they are (small: their line shows the fixed costs).
for list in "$root"/../shared/data/real-lists/*.txt; do
  [ -f "$list" ] && bench_list "$(basename "$list" .txt | cut -c1-9)" "$list"
done
echo "(time: best of $runs runs; peak MB: maximum resident set from /usr/bin/time; ÷ file: peak memory over the list's size)"
