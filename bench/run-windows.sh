#!/usr/bin/env bash
# Open, Conversion and the map of a million-row list in the Windows
# application under Wine, beside the Linux command line on the same list; the
# longest time the dialog's thread left a message unanswered meanwhile, and
# the slowest key press in the filled list (typing an IDX among them).
#   bench/run-windows.sh [ROWS]      (default 1000000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rows=${1:-1000000}

cmake --preset default -S "$root" >/dev/null
cmake --build "$root/build" -j2 --target tabrino generate_list >/dev/null
cmake --preset win32 -S "$root" >/dev/null
cmake --build "$root/build-win32" -j2 --target dialog_bench >/dev/null

data="$root/build-win32/bench-data"
mkdir -p "$data"
list="$data/list-$rows.txt"
[ -s "$list" ] || "$root/build/bin/generate_list" "$rows" > "$list"

start=$(date +%s%N)
"$root/build/bin/tabrino" convert "$list" -o "$data" --date 2014-11-14 --seed 1 >/dev/null
cli_ms=$(( ($(date +%s%N) - start) / 1000000 ))

report=$("$root/scripts/with-display.sh" wine "$root/build-win32/bin/dialog_bench.exe" "Z:$list" 2>/dev/null | tr -d '\r')
value() { echo "$report" | sed -n "s/^$1 //p"; }

echo "$rows rows, $(( $(stat -L -c %s "$list") / 1048576 )) MB"
printf '%-46s %8s\n' "" "ms"
printf '%-46s %8s\n' "Linux tabrino convert (import, sort, write)" "$cli_ms"
printf '%-46s %8s\n' "core under Wine: import" "$(value 'core import ms')"
printf '%-46s %8s\n' "core under Wine: sort and write" "$(value 'core conversion ms')"
printf '%-46s %8s\n' "core under Wine: import keeping text, findings" "$(value 'core import keeping text ms')"
printf '%-46s %8s\n' "core under Wine: latitude order" "$(value 'core latitude order ms')"
printf '%-46s %8s\n' "core under Wine: duplicates (with their order)" "$(value 'core duplicates ms')"
printf '%-46s %8s\n' "core under Wine: IDX index" "$(value 'core IDX index ms')"
printf '%-46s %8s\n' "dialog under Wine: text's encoding checked" "$(value 'text check ms' | cut -d' ' -f1)"
printf '%-46s %8s\n' "Tabrino.exe under Wine: Open, rows shown" "$(value 'dialog open rows shown ms')"
printf '%-46s %8s\n' "Tabrino.exe under Wine: Open, rows checked" "$(value 'dialog open ms')"
printf '%-46s %8s\n' "Tabrino.exe under Wine: Conversion" "$(value 'dialog conversion ms')"
printf '%-46s %8s\n' "longest unanswered, during Open" "$(value 'longest unanswered ms during open')"
printf '%-46s %8s\n' "longest unanswered, during Conversion" "$(value 'longest unanswered ms during conversion')"
printf '%-46s %8s\n' "Tabrino.exe under Wine: Map" "$(value 'dialog map ms')"
printf '%-46s %8s\n' "longest unanswered, during Map" "$(value 'longest unanswered ms during map')"
printf '%-46s %8s\n' "slowest key typing an IDX" "$(value 'key typing     ms')"
printf '%-46s %8s\n' "slowest key press or click in the list" "$(value 'slowest key ms')"
printf '%-46s %8s\n' "findings window ($(value 'findings') findings)" "$(value 'findings window ms')"
printf '%-46s %8s\n' "longest unanswered, gathering the findings" "$(value 'longest unanswered ms during findings')"
printf '%-46s %8s\n' "Go to row on the last finding" "$(value 'go to row of the last finding ms')"
peak=$(value 'peak working set MB')
printf '%-46s %8s  (%s × the list)\n' "Tabrino.exe peak working set, MB" "$peak" \
  "$(awk -v p="$peak" -v b="$(stat -L -c %s "$list")" 'BEGIN{printf "%.2f", p * 1048576 / b}')"
echo "written count shown at the end: $(value 'written count')"
