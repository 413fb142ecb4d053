#!/usr/bin/env bash
# README.md's "A short tour" and "Several lists..." sections, run as a reader
# pastes them: in a copy of the checkout, with the built tabrino on the path.
# Each ```sh block must run (tabrino diff may exit 1: the lists differ), each
# "$ command" of a block that shows output must print exactly the lines shown
# (standard output and error together), and the tour must leave nothing in
# the checkout outside its own folder.
#   readme_tour_test.sh SOURCE_DIR BIN_DIR
set -euo pipefail
source_dir=$1 bin_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The copy: the checkout without build folders, git's data or a tour of its own.
mkdir "$work/checkout"
tar -C "$source_dir" --exclude='./build*' --exclude=./.git --exclude=./tour --exclude=./bench/data -cf - . |
  tar -C "$work/checkout" -xf -

# The steps, in order: "run FILE" for a command of a ```sh block, "show FILE"
# for a shown command, whose expected output is FILE.expected.
mkdir "$work/steps"
awk -v dir="$work/steps" '
  function flush_command() { close(file); if (shown) close(file ".expected") }
  /^## / { inside = ($0 ~ /^## A short tour/ || $0 ~ /^## Several lists/); next }
  !inside { next }
  /^```/ {
    if (!fence) { fence = 1; kind = ($0 == "```sh") ? "sh" : "plain"; continuing = 0; have = 0; next }
    fence = 0; if (have) flush_command(); have = 0; next
  }
  !fence { next }
  kind == "sh" {
    if (!continuing) {
      if ($0 ~ /^[ \t]*$/) next
      if (have) flush_command()
      file = sprintf("%s/%03d", dir, ++n); shown = 0; have = 1
      print "run " file > (dir "/list")
    }
    print > file; continuing = ($0 ~ /\\$/); next
  }
  kind == "plain" {
    if (continuing) { print > file; continuing = ($0 ~ /\\$/); next }
    if ($0 ~ /^\$ /) {
      if (have) flush_command()
      file = sprintf("%s/%03d", dir, ++n); shown = 1; have = 1
      print "show " file > (dir "/list")
      printf "" > (file ".expected")
      print substr($0, 3) > file; continuing = ($0 ~ /\\$/); next
    }
    if (have && shown) print > (file ".expected")
  }
' "$source_dir/README.md"

[ -s "$work/steps/list" ] || { echo "no commands found in README.md's tour" >&2; exit 1; }
grep -q '^run ' "$work/steps/list" || { echo "no \`\`\`sh block found in the tour" >&2; exit 1; }
grep -q '^show ' "$work/steps/list" || { echo "no shown output found in the tour" >&2; exit 1; }

cd "$work/checkout"
find . -path ./tour -prune -o -print | sort > "$work/before"
export PATH="$bin_dir:$PATH" LC_ALL=C.UTF-8 COLUMNS=80
unset SOURCE_DATE_EPOCH
failures=0
while read -r what file; do
  command=$(cat "$file")
  status=0
  # In this shell, so that a cd carries over to the next step as it does for a reader.
  source "$file" > "$work/actual" 2>&1 </dev/null || status=$?
  case $what in
    run)
      allowed=0
      [[ $command == "tabrino diff "* ]] && allowed=1
      if [ "$status" -gt "$allowed" ]; then
        echo "FAILED (exit status $status): $command" >&2
        cat "$work/actual" >&2
        failures=$((failures + 1))
      fi ;;
    show)
      if ! diff -u --label "README.md" --label "what it prints" "$file.expected" "$work/actual" >&2; then
        echo "DIFFERS from README.md: $command" >&2
        failures=$((failures + 1))
      fi ;;
  esac
done < "$work/steps/list"
cd "$work/checkout"

# A reader's checkout keeps only the tour's folder.
find . -path ./tour -prune -o -print | sort > "$work/after"
if ! diff -u --label before --label after "$work/before" "$work/after" >&2; then
  echo "the tour changed the checkout outside tour/" >&2
  failures=$((failures + 1))
fi
[ -d tour ] || { echo "the tour made no tour/ folder" >&2; failures=$((failures + 1)); }
if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1 && ! git -C "$source_dir" check-ignore -q tour/; then
  echo "tour/ is not ignored by git (.gitignore)" >&2
  failures=$((failures + 1))
fi

steps=$(wc -l < "$work/steps/list")
if [ "$failures" -ne 0 ]; then
  echo "$failures of $steps steps of the README's tour failed" >&2
  exit 1
fi
echo "all $steps steps of the README's tour ran as shown"
