#!/usr/bin/env bash
# tabrino-cli.exe under Wine beside the Linux tabrino, in folders and with
# file names that ASCII cannot spell: the same database bytes for the same
# list, date and seed, from a file or a pipe; the same dump on standard
# output (no CR added) and from a pipe; the same inspection; the progress bar
# on a console; the same list of an extract in a folder no code page spells;
# the same exports; a GPX and an .osm XML extract read alike; a usage error
# with exit status 2.
#   cli_wine.sh TABRINO_CLI_EXE TABRINO LIST EXTRACT.osm.pbf
set -euo pipefail
exe=$(realpath "$1") cli=$(realpath "$2") list=$(realpath "$3") extract=$(realpath "$4")
export LC_ALL=C.UTF-8  # Wine turns the words of the command line into UTF-16 by the locale

work=$(mktemp -d /tmp/tabrino-cli-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT LINUX_FILE WINDOWS_FILE
  if cmp -s "$2" "$3"; then
    echo "ok: $1"
  else
    echo "FAILED: $1 differs"; diff <(od -c "$2" | head -20) <(od -c "$3" | head -20) || true
    failures=$((failures + 1))
  fi
}
# Windows shows paths with backslashes; nothing else may differ.
slashes() { tr '\\' / <"$1" >"$1.slashes"; mv "$1.slashes" "$1"; }

for side in linux windows; do
  mkdir -p "$work/$side/Überprüfung камер/aus"
  cp "$list" "$work/$side/Überprüfung камер/Radarfallen ß.txt"
done
run() {  # run SIDE ARGS...: in the side's folder, the tool of that side
  local side=$1; shift
  (cd "$work/$side/Überprüfung камер" &&
   if [ "$side" = linux ]; then "$cli" "$@"; else wine "$exe" "$@"; fi)
}

for side in linux windows; do
  run $side convert "Radarfallen ß.txt" -o aus --date 2014-11-14 --seed 7 >"$work/$side.convert" 2>&1
done
slashes "$work/windows.convert"
check "convert says the same" "$work/linux.convert" "$work/windows.convert"
check "convert writes the same bytes" "$work/linux/Überprüfung камер/aus/DB_141114.dbh" \
      "$work/windows/Überprüfung камер/aus/DB_141114.dbh"

for side in linux windows; do
  mkdir -p "$work/$side/Überprüfung камер/gelesen"
  cat "$list" | run $side convert - -o gelesen --date 2014-11-14 --seed 7 >/dev/null
done
check "convert - reads a list from a pipe" "$work/linux/Überprüfung камер/gelesen/DB_141114.dbh" \
      "$work/windows/Überprüfung камер/gelesen/DB_141114.dbh"

db="$work/linux/Überprüfung камер/aus/DB_141114.dbh"
for side in linux windows; do
  run $side dump aus/DB_141114.dbh >"$work/$side.dump"
  cat "$db" | run $side dump - >"$work/$side.pipe-dump"
  run $side inspect aus/DB_141114.dbh >"$work/$side.inspect"
done
check "dump to standard output" "$work/linux.dump" "$work/windows.dump"
check "dump from a pipe" "$work/linux.pipe-dump" "$work/windows.pipe-dump"
slashes "$work/windows.inspect"
check "inspect" "$work/linux.inspect" "$work/windows.inspect"

# An export: OV2 on standard output (no CR added), and a folder split by
# speed with icons and a manifest, the same bytes on both sides.
for side in linux windows; do
  mkdir -p "$work/$side/Überprüfung камер/geteilt"
  run $side export aus/DB_141114.dbh "Radarfallen ß.txt" --drop-duplicates --format ov2 -o - -q >"$work/$side.ov2"
  run $side export aus/DB_141114.dbh --format ov2 --output-dir geteilt --split-by speed --max-per-file 4 --icons -q
  (cd "$work/$side/Überprüfung камер/geteilt" && cat $(ls | LC_ALL=C sort)) >"$work/$side.split"
done
check "export of OV2 to standard output" "$work/linux.ov2" "$work/windows.ov2"
check "export split by speed, with icons and a manifest" "$work/linux.split" "$work/windows.split"

# On a console (script(1) gives Wine a terminal, which it shows as one) the
# progress bar is drawn; Wine's console adds escape sequences and moves the
# cursor for spaces.
(cd "$work/windows/Überprüfung камер" &&
 TABRINO_PROGRESS_DELAY_MS=0 script -qec "wine '$exe' inspect aus/DB_141114.dbh" /dev/null) |
  sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' >"$work/console"
if grep -q 'Checking.*\[##' "$work/console" && grep -q 'OK' "$work/console"; then
  echo "ok: the progress bar shows on a console"
else
  echo "FAILED: no progress bar on a console:"; cat -v "$work/console" | head -5; failures=$((failures + 1))
fi

# An extract in a folder no ANSI code page spells, read by its wide name.
for side in linux windows; do
  mkdir -p "$work/$side/Überprüfung データ"
  cp "$extract" "$work/$side/Überprüfung データ/カメラ.osm.pbf"
  (cd "$work/$side/Überprüfung データ" &&
   if [ "$side" = linux ]; then "$cli" from-osm カメラ.osm.pbf -q; else wine "$exe" from-osm カメラ.osm.pbf -q; fi) \
    >"$work/$side.from-osm"
done
check "from-osm reads an extract in a folder of any name" "$work/linux.from-osm" "$work/windows.from-osm"

# The shared formats: our GPX export converts back to the same bytes, and an
# .osm XML extract (read with the expat the Windows build compiles) gives
# the same list.
"$cli" dump "$db" --format gpx -o "$work/cams.gpx"
osmium cat --overwrite "$extract" -o "$work/cams.osm"
for side in linux windows; do
  cp "$work/cams.gpx" "$work/cams.osm" "$work/$side/Überprüfung камер/"
  mkdir -p "$work/$side/Überprüfung камер/gpx"
  run $side convert cams.gpx -o gpx --date 2014-11-14 --seed 7 -q
  run $side from-osm cams.osm -q >"$work/$side.osm-xml"
done
check "convert reads a GPX" "$db" "$work/windows/Überprüfung камер/gpx/DB_141114.dbh"
check "from-osm reads .osm XML" "$work/linux.osm-xml" "$work/windows.osm-xml"

status=0
run windows conver x >"$work/usage.out" 2>"$work/usage.err" || status=$?
if [ "$status" -eq 2 ] && grep -q "unknown command 'conver' (did you mean 'convert'?)" "$work/usage.err"; then
  echo "ok: a usage error names the mistake"
else
  echo "FAILED: usage error: status $status, $(cat "$work/usage.err")"; failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]
