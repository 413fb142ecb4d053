# Sourced by the benchmarks. measure COMMAND...: the wall time in seconds
# over $runs runs (one with QUICK=1) and the peak resident memory (KiB) of one
# more run, kept in $data/time.txt. The time is hyperfine's median (no shell,
# after two warm-up runs) where hyperfine is installed, else the best run by
# the clock in nanoseconds. A command's exit status is not a failure here
# (diff exits 1 when the lists differ).
measure() {
  local best="" start stop count=$runs
  [ "${QUICK:-}" = 1 ] && count=1
  if command -v hyperfine >/dev/null && [ "$count" -gt 1 ]; then
    hyperfine -N -i --warmup 2 --runs "$count" --export-json "$data/hyperfine.json" -- "$(printf '%q ' "$@")" \
      >/dev/null 2>&1
    /usr/bin/time -o "$data/time.txt" -f '%M' "$@" >/dev/null 2>&1 || true
    echo "$(python3 -c 'import json,sys; print("%.4f" % json.load(open(sys.argv[1]))["results"][0]["median"])' \
      "$data/hyperfine.json") $(tail -n 1 "$data/time.txt")"
    return
  fi
  for _ in $(seq "$count"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    stop=$(date +%s%N)
    local t=$(( stop - start ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  /usr/bin/time -o "$data/time.txt" -f '%M' "$@" >/dev/null 2>&1 || true
  echo "$(awk -v n="$best" 'BEGIN{printf "%.4f", n / 1e9}') $(tail -n 1 "$data/time.txt")"
}
