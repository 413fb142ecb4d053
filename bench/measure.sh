# Sourced by the benchmarks. measure COMMAND...: the best wall time in seconds
# (from the clock in nanoseconds) over $runs runs (one with QUICK=1), and the
# peak resident memory (KiB) of one more run, kept in $data/time.txt. A
# command's exit status is not a failure here (diff exits 1 when the lists
# differ).
measure() {
  local best="" start stop count=$runs
  [ "${QUICK:-}" = 1 ] && count=1
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
