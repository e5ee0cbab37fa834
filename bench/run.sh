#!/usr/bin/env bash
# Benchmark: ordplan against dd writing the same number of bytes in 1 MiB blocks.
#
# Usage: bench/run.sh [INPUT...]      (default: bench/inputs/jobs9.txt jobs10.txt wide10.txt)
# Environment: RUNS (timed runs of each, default 3), BENCH_DIR (where the reports are
# written, default bench/work; dd writes into the same directory).
#
# Builds a Release binary, then for each input alternates program and dd runs, each after a
# sync, and prints the median wall times and their ratio, the fastest of each and their ratio,
# the program's peak resident memory and the report size. The big files are deleted as soon as they are measured.
#
# The runs go in the order program, dd, dd, program, program, dd, ...: on some virtual
# machines every other large write is slow (the host hands back the memory of the file just
# deleted), and this order gives both the same share of slow turns.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${RUNS:-6}
work=${BENCH_DIR:-$here/work}
build=$root/build-bench

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORDPLAN_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target ordplan >/dev/null
program=$build/ordplan

mkdir -p "$work"
trap 'rm -f "$work/ordplan.prn" "$work/dd.out"' EXIT

median() { sort -n | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
fastest() { sort -n | head -n 1; }
ratio() { awk -v p="$1" -v d="$2" 'BEGIN {print (d > 0 ? p / d : 0)}'; }

inputs=("$@")
[ ${#inputs[@]} -gt 0 ] || inputs=("$here/inputs/jobs9.txt" "$here/inputs/jobs10.txt" "$here/inputs/wide10.txt")

printf '%-12s %10s %8s %7s %10s %8s %7s %9s %14s\n' input program_s dd_s ratio \
  best_prog best_dd ratio peak_MiB report_bytes
for input in "${inputs[@]}"; do
  cp "$input" "$work/ordplan.txt"
  program_times=() dd_times=() peak=0 size=0
  time_program() {
    sync
    local out
    out=$( cd "$work" && /usr/bin/time -f '%e %M' "$program" 2>&1 >/dev/null | tail -n 1 )
    program_times+=("${out% *}")
    local kb=${out#* }
    (( kb > peak )) && peak=$kb
    size=$(stat -c %s "$work/ordplan.prn")
    rm -f "$work/ordplan.prn"
  }
  time_dd() {
    sync
    dd_times+=("$( /usr/bin/time -f '%e' dd if=/dev/zero of="$work/dd.out" bs=1M \
      iflag=count_bytes count="$size" 2>&1 | tail -n 1 )")
    rm -f "$work/dd.out"
  }
  for ((i = 0; i < runs; i++)); do
    if (( i % 2 == 0 )); then time_program; time_dd; else time_dd; time_program; fi
  done
  p=$(printf '%s\n' "${program_times[@]}" | median)
  d=$(printf '%s\n' "${dd_times[@]}" | median)
  bp=$(printf '%s\n' "${program_times[@]}" | fastest)
  bd=$(printf '%s\n' "${dd_times[@]}" | fastest)
  printf '%-12s %10.2f %8.2f %7.2f %10.2f %8.2f %7.2f %9.1f %14d\n' "$(basename "$input")" \
    "$p" "$d" "$(ratio "$p" "$d")" "$bp" "$bd" "$(ratio "$bp" "$bd")" \
    "$(awk -v k="$peak" 'BEGIN {print k / 1024}')" "$size"
  echo "  program: ${program_times[*]}   dd: ${dd_times[*]}"
done
rm -f "$work/ordplan.txt"
