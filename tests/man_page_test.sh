#!/usr/bin/env bash
# Renders the manual page as man(1) does, without a warning, and checks that
# it names every command and option that the tool's own help lists, and that
# its footer names the version the tool reports.
#   man_page_test.sh PAGE TABRINO
set -euo pipefail
page=$1 tabrino=$2

warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "FAILED: groff warns:"; echo "$warnings"; exit 1; }
if command -v man >/dev/null; then
  text=$(MANWIDTH=80 man -l "$page" 2>&1)
else
  text=$(groff -man -Tutf8 "$page" 2>&1)
fi
text=$(printf '%s\n' "$text" | sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g')
grep -q '^NAME' <<<"$text" || { echo "FAILED: nothing rendered"; exit 1; }

failures=0
for command in convert inspect dump export map diff from-osm; do
  for word in "$command" $("$tabrino" help "$command" | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
    if ! grep -qF -- "$word" <<<"$text"; then
      echo "FAILED: the page does not mention $word ($command)"
      failures=$((failures + 1))
    fi
  done
done
for status in "EXIT STATUS" "ENVIRONMENT" "INSPECT PROBLEMS" "DUMP RULES" "MESSAGES"; do
  grep -q "^$status" <<<"$text" || { echo "FAILED: no section $status"; failures=$((failures + 1)); }
done
version=$("$tabrino" --version | awk '{print $NF}')
footer=$(grep -v '^[[:space:]]*$' <<<"$text" | tail -n 1)
if ! grep -qE "^Tabrino ${version//./\\.}[[:space:]]" <<<"$footer"; then
  echo "FAILED: the footer does not read 'Tabrino $version': $footer"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "ok: $page renders and names every command and option"
