#!/usr/bin/env bash
# Several lists against one, and what each filter adds, side by side in one
# run on a million generated rows:
#   - ten lists of 100,000 rows against the one list of the same million rows
#     (time, peak memory, and whether the databases are the same bytes);
#   - each filter's time over the plain conversion's (a 10,000-point region
#     for --polygon).
#
#   bench/lists.sh [BUILD_DIR]   (default: build-bench, a Release build of its own)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
runs=${RUNS:-5}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTABRINO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tabrino generate_list >/dev/null
data="$build/bench-lists"
mkdir -p "$data/one" "$data/ten" "$data/f"
tabrino="$build/bin/tabrino"

source "$here/measure.sh"

[ -f "$data/all.txt" ] || "$build/bin/generate_list" 1000000 > "$data/all.txt"
lists=()
for i in $(seq 0 9); do
  f="$data/part$i.txt"
  { head -n 1 "$data/all.txt"; tail -n +2 "$data/all.txt" | sed -n "$((i * 100000 + 1)),$(((i + 1) * 100000))p"; } > "$f"
  lists+=("$f")
done
# A ring of 10,000 points (seven lobes, each edge a few kilometres) around
# the middle of the generated cameras.
awk 'BEGIN { print "region"; print "1"; for (i = 0; i < 10000; i++) { a = 6.283185307 * i / 10000;
      r = 40 + 10 * sin(a * 7) + 0.01 * sin(i); printf " %.6f %.6f\n", r * 2 * cos(a), r * sin(a) } print "END"; print "END" }' \
  > "$data/region.poly"
head -n 20001 "$data/all.txt" > "$data/exclude.txt"

convert="convert --date 2014-11-14 --seed 1 -q"
read -r t1 m1 < <(measure "$tabrino" $convert "$data/all.txt" -o "$data/one")
read -r t10 m10 < <(measure "$tabrino" $convert "${lists[@]}" -o "$data/ten")
same=$(cmp -s "$data/one/DB_141114.dbh" "$data/ten/DB_141114.dbh" && echo same || echo DIFFERENT)
printf '%-34s %8s %9s %8s\n' "conversion of 1,000,000 rows" "seconds" "peak KiB" "÷ one"
printf '%-34s %8s %9s %8s\n' "one list" "$t1" "$m1" "1.00"
printf '%-34s %8s %9s %8s  %s bytes\n' "ten lists of 100,000" "$t10" "$m10" "$(awk -v a="$t10" -v b="$t1" 'BEGIN{printf "%.2f", a / b}')" "$same"
echo
for filter in "--types 1,2,3" "--speed 30-80" "--bbox -60,-30,60,30" "--polygon $data/region.poly" \
              "--exclude $data/exclude.txt"; do
  read -r t m < <(measure "$tabrino" $convert "$data/all.txt" -o "$data/f" $filter)
  printf '%-34s %8s %9s %8s\n' "${filter/$data\//}" "$t" "$m" "$(awk -v a="$t" -v b="$t1" 'BEGIN{printf "%.2f", a / b}')"
done
