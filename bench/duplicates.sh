#!/usr/bin/env bash
# The cost of looking for near copies and of comparing two lists, against a
# plain conversion of a generated list of a million rows:
#
#   --near 20 ÷ plain   `convert --near 20` over `convert`   (at most 1.3)
#   diff ÷ plain        `diff` of two versions of the list over `convert` of one
#                       (at most 2.5)
#
# The second version changes the speed of every 100th row and leaves out every
# 1000th. A plain conversion looks for exact duplicates already: they are
# always reported.
#
#   bench/duplicates.sh [BUILD_DIR]   (default: build-bench, a Release build of its own)
#   ROWS=100000 RUNS=3 bench/duplicates.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
runs=${RUNS:-5}
rows=${ROWS:-1000000}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tabrino generate_list >/dev/null
data="$build/bench-data"
out="$data/out-duplicates"
mkdir -p "$out"
list="$data/list-$rows.txt"
[ -s "$list" ] || "$build/bin/generate_list" "$rows" > "$list"
later="$data/list-$rows-later.txt"
[ -s "$later" ] || awk -F, 'BEGIN { OFS = "," } NR > 1 && NR % 1000 == 0 { next }
                          NR > 1 && NR % 100 == 0 { $5 = $5 + 10 } { print }' "$list" > "$later"

source "$here/measure.sh"

tabrino="$build/bin/tabrino"
convert=("$tabrino" convert "$list" -o "$out" --date 2014-11-14 --seed 1)
read -r plain_t plain_m < <(measure "${convert[@]}")
read -r near_t near_m < <(measure "${convert[@]}" --near 20)
read -r diff_t diff_m < <(measure "$tabrino" diff -q "$list" "$later")

printf '%-28s %9s %8s %9s\n' "$rows rows" "time s" "÷ plain" "peak MB"
row() { awk -v n="$1" -v t="$2" -v p="$plain_t" -v m="$3" 'BEGIN { printf "%-28s %9.3f %8.2f %9.1f\n", n, t, t / p, m / 1024 }'; }
row "convert" "$plain_t" "$plain_m"
row "convert --near 20" "$near_t" "$near_m"
row "diff (two versions)" "$diff_t" "$diff_m"
"$tabrino" diff -q "$list" "$later" || true
echo "(time: best of $runs runs; peak MB: maximum resident set from /usr/bin/time)"
