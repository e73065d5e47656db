#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times varnholt, dynamic and static, against `wc -l` and a bare read() loop:
# on 1 GiB files held in the page cache, then on a 4 GiB file read from the
# disk; and measures varnholt's peak resident memory.
#
#   bench/run.sh [RUNS [COLDRUNS]]   runs per shape and program (default 11),
#                                    cold runs per program (default 5)
#
# Then, on the cached file of short lines: the bare read() loop over four
# block sizes, varnholt against itself built without hardening, and
# varnholt with standard error on a pseudo-terminal against without.
#
# Builds the "bench" and "static" presets, makes the files in a temporary
# folder (7 GiB), removes them at the end. Needs Linux, bash 5, GNU
# coreutils, script (util-linux) and /usr/bin/time (Debian's package
# "time"); no root.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
coldruns=${2:-5}
[ -x /usr/bin/time ] || { echo "bench/run.sh: needs /usr/bin/time (Debian's package time)" >&2; exit 1; }
command -v script >/dev/null || { echo "bench/run.sh: needs script (util-linux)" >&2; exit 1; }

for preset in bench static; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
cmake --preset bench -B build/bench-unhardened -DVARNHOLT_HARDEN=OFF >/dev/null
cmake --build build/bench-unhardened --target varnholt >/dev/null
unhardened=$PWD/build/bench-unhardened/varnholt
varnholt=$PWD/build/bench/varnholt
static=$PWD/build/static/varnholt
floor=$PWD/build/bench/bench/varnholt_readfloor
evict=$PWD/build/bench/bench/varnholt_evict

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
for _ in 1 2 3 4; do cat "$work/short"; done >"$work/cold"

seconds() {  # seconds COMMAND...: wall time of one run, output discarded
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  local end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# rounds N FILE PREPARE: N rounds of the four programs on FILE, in an order
# that turns each round, each run after PREPARE FILE. Prints the medians of
# varnholt, the static program, `wc -l` and the read() floor.
rounds() {
  local n=$1 file=$2 prepare=$3
  : >"$work/t.v"; : >"$work/t.s"; : >"$work/t.w"; : >"$work/t.f"
  for round in $(seq "$n"); do
    for k in 0 1 2 3; do
      "$prepare" "$file"
      case $(((round + k) % 4)) in
        0) seconds "$varnholt" "$file" p 1 >>"$work/t.v" ;;
        1) seconds "$static" "$file" p 1 >>"$work/t.s" ;;
        2) seconds wc -l "$file" >>"$work/t.w" ;;
        3) seconds "$floor" "$file" >>"$work/t.f" ;;
      esac
    done
  done
  echo "$(median <"$work/t.v") $(median <"$work/t.s") $(median <"$work/t.w") $(median <"$work/t.f")"
}
row() {  # row SHAPE V S W F: those medians, their ratios, and varnholt's peak memory
  local rss
  rss=$(/usr/bin/time -f '%M' "$varnholt" "$work/$1" p 1 2>&1 >/dev/null | tail -n 1)
  awk -v n="$1" -v v="$2" -v s="$3" -v w="$4" -v f="$5" -v r="$rss" 'BEGIN {
    printf "%-8s %8.3fs %8.3fs %8.3fs %8.3fs %7.2f %8.2f %8.2f %8d KiB\n",
      n, v, s, w, f, v / w, v / f, s / f, r }'
}

# The kernel may reclaim cached pages between runs: read the file back in
# before each. For the cold round, drop it from the cache instead.
cached() { "$floor" "$1"; }
cold() { "$evict" "$1"; }

printf '%-8s %9s %9s %9s %9s %7s %8s %8s %12s\n' shape varnholt static 'wc -l' 'read()' \
  'v / wc' 'v / read' 's / read' 'peak RSS'
for shape in long short single; do
  medians=$(rounds "$runs" "$work/$shape" cached)
  # shellcheck disable=SC2086  # four medians, four arguments
  row "$shape" $medians
done
echo "median of $runs runs each, alternating; files of 1 GiB from the page cache"
# On a file system in memory, "evicted" pages are the file itself: there
# is no disk to read, and the round would mean nothing.
if [ "$(stat -f -c %T "$work")" = tmpfs ]; then
  echo "cold round skipped: $work is on tmpfs, which has no disk to read from; set TMPDIR"
else
  medians=$(rounds "$coldruns" "$work/cold" cold)
  # shellcheck disable=SC2086
  row cold $medians
  echo "median of $coldruns runs each, alternating; a 4 GiB file of short lines, evicted before each run"
fi

# The block the count reads: the bare read() loop over each size, on the
# cached file of short lines, so that the choice shows on any machine.
echo
sizes=(64 256 1024 4096)
for k in "${sizes[@]}"; do : >"$work/b.$k"; done
for round in $(seq "$runs"); do
  for i in "${!sizes[@]}"; do
    k=${sizes[$(((round + i) % ${#sizes[@]}))]}
    cached "$work/short"
    seconds "$floor" "$work/short" "$k" >>"$work/b.$k"
  done
done
for k in "${sizes[@]}"; do
  printf 'read() of %4d KiB blocks %8.3fs\n' "$k" "$(median <"$work/b.$k")"
done
echo "median of $runs runs each, alternating; 1 GiB of short lines from the page cache"

# pair NAME A B: the commands A and B (bash), alternated on the cached file
# of short lines; one row of their medians.
pair() {
  : >"$work/p.a"; : >"$work/p.b"
  for round in $(seq "$runs"); do
    for k in 0 1; do
      cached "$work/short"
      if [ $(((round + k) % 2)) = 0 ]; then
        seconds bash -c "$2" >>"$work/p.a"
      else
        seconds bash -c "$3" >>"$work/p.b"
      fi
    done
  done
  printf '%-44s %8.3fs %8.3fs\n' "$1" "$(median <"$work/p.a")" "$(median <"$work/p.b")"
}
echo
count="'$varnholt' '$work/short' p 1"
pair "hardened / built with VARNHOLT_HARDEN=OFF" "$count" "'$unhardened' '$work/short' p 1"
pair "standard error on a terminal / on /dev/null" "script -qec \"$count\" /dev/null" \
  "script -qec \"$count 2>/dev/null\" /dev/null"
echo "median of $runs runs each, alternating; 1 GiB of short lines from the page cache"

# Starting up: 500 runs on a file of three lines, where the count is
# nothing and opening, checking and printing are all.
printf 'a\nb\nc\n' >"$work/three"
startup() {  # startup COMMAND...: seconds for 500 runs on the three lines
  local start=$EPOCHREALTIME
  for _ in $(seq 500); do "$@" "$work/three" p 1 >/dev/null 2>&1; done
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'
}
echo
printf '500 runs on a 3-line file: varnholt %ss, static %ss, wc -l %ss\n' \
  "$(startup "$varnholt")" "$(startup "$static")" "$(startup wc -l)"
