#!/usr/bin/env bash
# The cost of looking for near copies and of comparing two lists, against a
# plain conversion of a generated list of a million rows:
#
#   --near 20 ÷ plain   `convert --near 20` over `convert`   (at most 1.3)
#   diff ÷ plain        `diff` of two versions of the list over `convert` of one
#                       (at most 2.5)
#
# and of near copies in crowded lists (generate_list's shapes), each against a
# plain conversion of the same list (at most 3):
#
#   one place           four rows in five one camera, the rest within a km
#   one latitude        every row on one parallel, all round the earth
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
row() {
  awk -v n="$1" -v t="$2" -v p="${4:-$plain_t}" -v m="$3" \
    'BEGIN { printf "%-28s %9.3f %8.2f %9.1f\n", n, t, t / p, m / 1024 }'
}
row "convert" "$plain_t" "$plain_m"
row "convert --near 20" "$near_t" "$near_m"
row "diff (two versions)" "$diff_t" "$diff_m"
for shape in place latitude; do
  crowded="$data/list-$rows-$shape.txt"
  [ -s "$crowded" ] || "$build/bin/generate_list" "$rows" 20141114 "$shape" > "$crowded"
  crowded_convert=("$tabrino" convert "$crowded" -o "$out" --date 2014-11-14 --seed 1)
  read -r shape_t shape_m < <(measure "${crowded_convert[@]}")
  read -r shape_near_t shape_near_m < <(measure "${crowded_convert[@]}" --near 1000)
  title=$([ "$shape" = place ] && echo "one place" || echo "one latitude")
  row "$title: convert" "$shape_t" "$shape_m" "$shape_t"
  row "$title: --near 1000" "$shape_near_t" "$shape_near_m" "$shape_t"
done
"$tabrino" diff -q "$list" "$later" || true
echo "(time: best of $runs runs; peak MB: maximum resident set from /usr/bin/time)"
