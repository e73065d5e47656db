#!/usr/bin/env bash
# Times varnholt against `wc -l` and a bare read() loop on 1 GiB files held
# in the page cache, and measures varnholt's peak resident memory.
#
#   bench/run.sh [RUNS]       RUNS per shape and program (default 11)
#
# Builds the "bench" preset, makes the files in a temporary folder (3 GiB),
# removes them at the end. Needs bash 5, GNU coreutils and /usr/bin/time.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
varnholt=$PWD/build/bench/varnholt
floor=$PWD/build/bench/bench/varnholt_readfloor

work=$(mktemp -d "${TMPDIR:-/tmp}/varnholt-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Repeats one 4 MiB piece 256 times: 1 GiB.
gibibyte() {
  local piece=$work/piece
  head -c 4194304 >"$piece"
  for _ in $(seq 256); do cat "$piece"; done
  rm -f "$piece"
}
# Genotype-like lines: codes 0, 1, 2 separated by blanks. `yes` ends on
# SIGPIPE here, which is expected.
set +o pipefail
line=$(yes '0 1 2 1 0 2 1 0 2 1' | tr -d '\n' | head -c 3999)
yes "$line" | gibibyte >"$work/long"
yes '0 1 2 1 0' | gibibyte >"$work/short"
{ yes '0 1 2 ' | tr -d '\n' | head -c $((1024 * 1024 * 1024 - 1)); printf '\n'; } >"$work/single"
set -o pipefail

seconds() {  # seconds COMMAND...: wall time of one run, output discarded
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  local end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf '%-8s %9s %9s %9s %10s %12s %11s\n' shape varnholt 'wc -l' 'read()' 'v / wc' 'v / read()' 'peak RSS'
for shape in long short single; do
  file=$work/$shape
  : >"$work/t.v"; : >"$work/t.w"; : >"$work/t.f"
  for round in $(seq "$runs"); do
    # The kernel may reclaim cached pages between rounds: read the file
    # back in first, then run the three in an order that turns each round.
    "$floor" "$file"
    for k in 0 1 2; do
      case $(((round + k) % 3)) in
        0) seconds "$varnholt" "$file" p 1 >>"$work/t.v" ;;
        1) seconds wc -l "$file" >>"$work/t.w" ;;
        2) seconds "$floor" "$file" >>"$work/t.f" ;;
      esac
    done
  done
  v=$(median <"$work/t.v"); w=$(median <"$work/t.w"); f=$(median <"$work/t.f")
  rss=$(/usr/bin/time -f '%M' "$varnholt" "$file" p 1 2>&1 >/dev/null | tail -n 1)
  awk -v s="$shape" -v v="$v" -v w="$w" -v f="$f" -v r="$rss" 'BEGIN {
    printf "%-8s %8.3fs %8.3fs %8.3fs %10.2f %12.2f %8d KiB\n", s, v, w, f, v / w, v / f, r }'
done
echo "median of $runs runs each, alternating; files of 1 GiB from the page cache"
