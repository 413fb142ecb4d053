#!/usr/bin/env bash
# Uses the real Tabrino.exe under Wine as a person would, with the keyboard:
# Open, type the list's path into the real chooser, Conversion, dismiss the
# message; then again with the list named on the command line (as "Open
# with" does), which must open it at once and write beside it. Each time the
# database is compared with what `tabrino convert` makes of the same list for
# the same date. Keeps screenshots of the window.
#   gui_e2e.sh TABRINO_EXE TABRINO_CLI LIST SCREENSHOT
# Needs DISPLAY with a window manager (scripts/with-display.sh gives one).
set -euo pipefail
exe=$(realpath "$1") cli=$(realpath "$2") list=$(realpath "$3") screenshot=$(realpath -m "$4")

work=$(mktemp -d /tmp/tabrino-e2e.XXXXXX)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
mkdir -p "$work/lists" "$work/start" "$work/named"
cp "$list" "$work/lists/cameras.txt"
cp "$list" "$work/named/cameras.txt"

step() { echo "e2e: $*"; }
fail() { echo "e2e: FAILED: $*" >&2; import -window root "${screenshot%.png}-failure.png" 2>/dev/null || true; exit 1; }

# Waits for a visible window whose title matches, other than those listed in $2.
wait_window() {
  local title=$1 except=${2:-} id
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null); do
      case " $except " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
    done
    sleep 0.1
  done
  return 1
}

step "starting Tabrino.exe"
(cd "$work/start" && exec wine "$exe" >/dev/null 2>&1) &
main=$(wait_window '^Tabrino$') || fail "the main window did not appear"
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || xdotool windowfocus --sync "$main"
sleep 0.5

step "Open (Tab to the button, Space)"
xdotool key --delay 100 Tab Tab space
chooser=$(wait_window '^Open$') || fail "the file chooser did not appear"
sleep 0.5
winpath="Z:$(echo "$work/lists/cameras.txt" | sed 's|/|\\|g')"
step "typing $winpath"
xdotool key --window "$chooser" --clearmodifiers ctrl+a BackSpace
xdotool type --delay 20 "$winpath"
xdotool key Return
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || break; sleep 0.1; done
sleep 1
import -window "$main" "$screenshot" || fail "no screenshot"
step "screenshot: $screenshot"

step "Conversion (Tab from Open, Space)"
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key --delay 100 Tab space
message=$(wait_window '^Tabrino$' "$main") || fail "no closing message"
sleep 0.3
import -window root "${screenshot%.png}-message.png" || true
xdotool windowactivate --sync "$message" >/dev/null 2>&1 || true
xdotool key Return
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Tabrino$' 2>/dev/null | grep -qv "^$main\$" || break
  sleep 0.1
done

# Compares the database in folder $1 with the command line's for its date.
compare_with_cli() {
  local folder=$1 db day month ylo yhi date reference
  db=$(ls "$folder"/DB_*.dbh 2>/dev/null | head -n 1) || true
  [ -n "$db" ] || fail "no database beside the list (files: $(ls "$folder" "$work/start" | tr '\n' ' '))"
  step "written: $(basename "$db") ($(stat -c %s "$db") bytes)"
  # The same date as the application wrote, read back from the header.
  read -r day month ylo yhi < <(od -An -tu1 -j4 -N4 "$db")
  date=$(printf '%04d-%02d-%02d' $((ylo + 256 * yhi)) "$month" "$day")
  rm -rf "$work/cli" && mkdir -p "$work/cli"
  "$cli" convert "$folder/cameras.txt" --output-dir "$work/cli" --date "$date" >/dev/null 2>&1
  reference="$work/cli/$(basename "$db")"
  [ -f "$reference" ] || fail "the command line wrote no $(basename "$db")"
  cmp -s <(head -c 15 "$db") <(head -c 15 "$reference") || fail "headers differ (date or body size)"
  cmp -s <(tail -c +33 "$db") <(tail -c +33 "$reference") || fail "records, end marker or fill differ"
  step "records, end marker and fill are identical to tabrino convert's"
}
compare_with_cli "$work/lists"

xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key Escape
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Tabrino$' >/dev/null 2>&1 || break; sleep 0.1; done
if xdotool search --onlyvisible --name '^Tabrino$' >/dev/null 2>&1; then fail "Escape did not close the dialog"; fi

named="Z:$(echo "$work/named/cameras.txt" | sed 's|/|\\|g')"
step "starting Tabrino.exe $named"
(cd "$work/start" && exec wine "$exe" "$named" >/dev/null 2>&1) &
main=$(wait_window '^Tabrino$') || fail "the main window did not appear"
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || xdotool windowfocus --sync "$main"
sleep 2  # the list is read on the dialog's worker
import -window "$main" "${screenshot%.png}-named.png" || true
step "Conversion (Tab from OK past the list and Open, Space)"
xdotool key --delay 100 Tab Tab Tab space
message=$(wait_window '^Tabrino$' "$main") || fail "no closing message after the command-line open"
sleep 0.3
xdotool windowactivate --sync "$message" >/dev/null 2>&1 || true
xdotool key Return
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Tabrino$' 2>/dev/null | grep -qv "^$main\$" || break
  sleep 0.1
done
compare_with_cli "$work/named"
[ -z "$(ls "$work/start")" ] || fail "something was written where Tabrino.exe was started: $(ls "$work/start")"
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key Escape
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Tabrino$' >/dev/null 2>&1 || break; sleep 0.1; done
step "passed"
