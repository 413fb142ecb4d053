#!/usr/bin/env bash
# Sources the completion as bash-completion would and asks it what it offers
# for a few command lines, as the Tab key does; and checks that it knows
# every command and option the tool's help lists, no more, no fewer.
#   completion_test.sh COMPLETION_FILE TABRINO
set -euo pipefail
source "$1"
tabrino=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir outdir && touch list.txt

failures=0
# expect "WORDS..." "OFFERED": the last word is the one being completed.
expect() {
  read -r -a COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tabrino || true  # a shell completes without -e
  local offered="${COMPREPLY[*]}"
  if [ "$offered" != "$2" ]; then
    echo "FAILED: '$1<Tab>' offered '$offered', expected '$2'"
    failures=$((failures + 1))
  else
    echo "ok: '$1<Tab>' -> '$offered'"
  fi
}

[ "$(complete -p tabrino)" = "complete -F _tabrino tabrino" ] || { echo "FAILED: not registered"; exit 1; }
expect "tabrino con" "convert"
expect "tabrino " "convert inspect dump export map diff from-osm help"
expect "tabrino m" "map"
expect "tabrino --v" "--version"
expect "tabrino convert --out" "--output-dir"
expect "tabrino convert list.txt --r" "--report"
expect "tabrino convert li" "list.txt"
expect "tabrino convert list.txt -o o" "outdir"
expect "tabrino convert list.txt --date " ""
expect "tabrino dump x.dbh --o" "--output"
expect "tabrino inspect --q" "--quiet"
expect "tabrino help d" "dump diff"
expect "tabrino dump x.dbh --format g" "gpx geojson"
expect "tabrino convert list.txt --dr" "--drop-duplicates"
expect "tabrino diff a b --r" "--report"
expect "tabrino inspect -" "--quiet -q --help -h"
expect "tabrino dump x.dbh --format =" "list gpx kml geojson"
expect "tabrino dump x.dbh --format = g" "gpx geojson"
expect "tabrino dump x.dbh --format=k" "--format=kml"
expect "tabrino convert list.txt --output-dir = o" "outdir"
expect "tabrino export list.txt --format p" "poi-csv"
expect "tabrino export list.txt --split-by t" "type type,speed"
expect "tabrino export list.txt --output-dir o" "outdir"
expect "tabrino export list.txt --name " ""
expect "tabrino convert -- -" ""
expect "tabrino convert -- l" "list.txt"

# The tool's own table of commands, as its help shows it (a summary
# continued on the next line is indented past the names).
commands=$("$tabrino" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && /^  [^ ]/ { print $1 }')
expect "tabrino " "$(echo $commands)"
expect "tabrino help " "$(echo $commands | sed 's/ help$//')"
for command in $commands; do
  [ "$command" = help ] && continue
  options=$("$tabrino" help "$command" | grep -E '^  -' | awk '{ print $1 }' | tr ',' '\n' | sort | tr '\n' ' ')
  read -r -a COMP_WORDS <<<"tabrino $command -"
  COMP_CWORD=2
  COMPREPLY=()
  _tabrino || true  # a shell completes without -e
  offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  if [ "$offered" != "$options" ]; then
    echo "FAILED: 'tabrino $command -<Tab>' offered '$offered', the help lists '$options'"
    failures=$((failures + 1))
  else
    echo "ok: 'tabrino $command -<Tab>' offers every option of the help"
  fi
done
expect "tabrino from-osm x.osm.pbf --osm-direction f" "facing"
expect "tabrino convert x.osm.pbf --osm" "--osm-direction"
# The filters: a region and the lists to leave out are files; a box, types,
# speeds and a limit are the user's own.
mkdir region && touch region/alps.poly
expect "tabrino convert list.txt --polygon region/a" "region/alps.poly"
expect "tabrino dump x.dbh --exclude l" "list.txt"
expect "tabrino map list.txt --bbox " ""
expect "tabrino convert list.txt --max-records " ""
expect "tabrino convert list.txt --ma" "--max-records"
expect "tabrino dump x.dbh --ma" ""
[ "$failures" -eq 0 ]
