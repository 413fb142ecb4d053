#!/usr/bin/env bash
# Converts generated lists of 10 thousand to 10 million rows and prints, side
# by side in one run, the conversion's time and peak memory beside `cat` of
# the same file (the floor: reading the bytes and nothing else, the file
# first dropped from memory and read back, as a list on disk is held) and beside a
# plain Python converter (bench/python_convert.py), with the ratios:
#
#   convert s  `tabrino convert -q`: the conversion alone
#   ÷ cat      its time over cat's
#   +findings  the same without -q: the findings summary, and the duplicates
#              it names, found beside the write
#   py ÷       the Python converter's time over ours
#   peak ÷ file  peak resident memory over the list's size
#   ÷ 1M       time over the 1-million-row time (linear would be 10)
#
#   bench/run.sh [BUILD_DIR]   (default: build-bench, a Release build of its own)
#   ROWS="10000 1000000" RUNS=3 bench/run.sh   fewer lists or runs
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
runs=${RUNS:-5}
sizes=${ROWS:-10000 100000 1000000 10000000}
python_limit=${PYTHON_ROWS:-1000000}  # beyond this the Python converter takes minutes

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tabrino generate_list phases >/dev/null
data="$build/bench-data"
mkdir -p "$data"

source "$here/measure.sh"

printf '%-10s %8s %7s %9s %6s %9s %8s %6s %8s %7s %6s\n' \
  list "file MB" "cat s" "convert s" "÷ cat" "+findings" "python s" "py ÷" "peak MB" "÷ file" "÷ 1M"
one_million=""
# One line of figures for a list; `name` labels it, `rows` (when known)
# decides whether the Python converter runs and relates the time to 1M rows.
bench_list() {
  local name=$1 list=$2 rows=${3:-0} out="$data/out-$1"
  mkdir -p "$out"
  local bytes py_t="-" py_ratio="-" per_million="-"
  bytes=$(stat -c %s "$list")
  # The list as it lies in memory once read from disk: a file just written
  # (as generate_list writes it) is held in 4 KB pages, which cat copies at
  # half the speed. Dropped and read back, both commands read the faster
  # kind, as they would a list a user saved earlier.
  dd if="$list" iflag=nocache count=0 status=none 2>/dev/null || true
  cat "$list" >/dev/null
  read -r cat_t _ < <(measure cat "$list")
  read -r conv_t conv_m < <(measure "$build/bin/tabrino" convert "$list" -o "$out" -q --date 2014-11-14 --seed 1)
  read -r full_t _ < <(measure "$build/bin/tabrino" convert "$list" -o "$out" --date 2014-11-14 --seed 1)
  if [ "$rows" -le "$python_limit" ] && command -v python3 >/dev/null; then
    read -r py_t _ < <(QUICK=1 measure python3 "$here/python_convert.py" "$list" "$out/python.dbh")
    py_ratio=$(awk -v p="$py_t" -v t="$conv_t" 'BEGIN{printf "%.0f", p / t}')
  fi
  [ "$rows" = 1000000 ] && one_million=$conv_t
  if [ -n "$one_million" ] && [ "$rows" -gt 1000000 ]; then
    per_million=$(awk -v t="$conv_t" -v m="$one_million" 'BEGIN{printf "%.1f", t / m}')
  fi
  awk -v r="$name" -v b="$bytes" -v ct="$cat_t" -v t="$conv_t" -v ft="$full_t" -v m="$conv_m" -v pt="$py_t" \
      -v pr="$py_ratio" -v pm="$per_million" 'BEGIN {
    printf "%-10s %8.1f %7.3f %9.3f %6.1f %9.3f %8s %6s %8.1f %7.2f %6s\n", r, b / 1048576, ct, t, (ct > 0 ? t / ct : 0),
      ft, pt, pr, m / 1024, (m * 1024) / b, pm
  }'
}

for rows in $sizes; do
  list="$data/list-$rows.txt"
  [ -s "$list" ] || "$build/bin/generate_list" "$rows" > "$list"
  bench_list "$rows" "$list" "$rows"
done
# The published lists, as they are (small: their line shows the fixed costs).
for list in "$root"/../shared/data/real-lists/*.txt; do
  [ -f "$list" ] && bench_list "$(basename "$list" .txt | cut -c1-10)" "$list" 2000
done
if command -v hyperfine >/dev/null; then
  timing="hyperfine's median of $runs runs"
else
  timing="best of $runs runs"
fi
echo "(time: $timing, the Python converter one run; peak MB: maximum resident set from /usr/bin/time)"
# Where the time of the largest list's conversion goes.
for rows in $sizes; do largest=$rows; done
echo
echo "phases of $largest rows:"
"$build/bin/phases" "$data/list-$largest.txt" "$data/out-$largest" "$runs"
