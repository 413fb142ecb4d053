#!/usr/bin/env bash
# Fails on an include that runs against the layers: each folder of core/ may
# include only the folders below it (and itself), never a sibling of its own
# layer; the core includes no front end; platform headers stay in
# core/platform. Usage: include_layers_test.sh [PROJECT_ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The layers, lowest first; folders on one line are peers.
layers=(
  "base"
  "platform"
  "model"
  "list database"
  "osm formats"
  "convert export compare texts filter check"
  "map run"
)
declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

status=0
fail() { echo "$1: $2" >&2; status=1; }

for file in $(find core -name '*.h' -o -name '*.cpp' | sort); do
  folder=$(cut -d/ -f2 <<<"$file")
  if [ "$folder" = "$(basename "$file")" ]; then
    fail "$file" "stands at core/'s top level; it belongs in a layer's folder"
    continue
  fi
  [ -n "${rank[$folder]:-}" ] || { fail "$file" "core/$folder is not a known layer"; continue; }
  while IFS= read -r line; do
    target=$(sed -E 's/^[0-9]+:#include "([^"]+)".*/\1/' <<<"$line")
    number=${line%%:*}
    case "$target" in
      core/*/*)
        to=$(cut -d/ -f2 <<<"$target")
        if [ -z "${rank[$to]:-}" ]; then
          fail "$file:$number" "includes $target, outside the layers"
        elif [ "$to" != "$folder" ] && [ "${rank[$to]}" -ge "${rank[$folder]}" ]; then
          fail "$file:$number" "core/$folder includes $target (core/$to is not below it)"
        fi ;;
      core/*) fail "$file:$number" "includes $target at core/'s top level" ;;
      */*) fail "$file:$number" "includes $target: the core knows no front end" ;;
      *) fail "$file:$number" "includes \"$target\": write includes from the project root" ;;
    esac
  done < <(grep -n '^#include "' "$file" || true)
  if [ "$folder" != platform ] && grep -n -E '^#include <(windows|io|unistd|fcntl|sys/[a-z]+)\.h>' "$file" >/dev/null; then
    fail "$file" "includes a platform header; only core/platform may"
  fi
done

# Front ends: the command line and the dialog use the core, never each other.
for pair in "cli ui" "cli framework" "framework ui" "framework core" "core cli" "core ui" "core framework"; do
  set -- $pair
  hits=$(grep -rn "^#include \"$2/" "$1" 2>/dev/null || true)
  [ -z "$hits" ] || fail "$1" "includes $2/: $hits"
done
exit $status
