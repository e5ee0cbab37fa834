#!/usr/bin/env bash
# Benchmark: ordplan against dd writing the same number of bytes in 1 MiB blocks.
#
# Usage: bench/run.sh [INPUT...]      (default: bench/inputs/jobs9.txt jobs10.txt wide10.txt)
# Environment: RUNS (timed runs of each, default 6), BENCH_DIR (where the reports are
# written, default bench/work; dd writes into the same directory).
#
# Builds a Release binary, then for each input alternates program and dd runs, each after a
# sync, and prints the median wall times and their ratio, the fastest of each and their ratio,
# the program's peak resident memory and the report size. The big files are deleted as soon as
# they are measured.
#
# On a virtual machine whose host takes back the guest's free memory (free page reporting),
# a run during which the host takes memory back pays for every page it then touches again,
# and such runs take two to ten times as long. Where the guest shows how much it has handed
# back (/sys/module/page_reporting/parameters/reported_kib), each run's share is printed after
# its time ("+350M"), and the medians are also given over the runs the host left alone. An
# untimed dd of the same size goes first, so that no timed run starts from memory the host has
# taken back while the machine was idle. The runs go in the order program, dd, dd, program, ...
# so that both get the same share of early and late turns.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${RUNS:-6}
reported=/sys/module/page_reporting/parameters/reported_kib
host_taken() { if [ -r "$reported" ]; then cat "$reported"; else echo 0; fi; }
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
  program_times=() dd_times=() program_quiet=() dd_quiet=() peak=0 size=0
  program_log="" dd_log=""
  # Runs `$@` after a sync; sets `elapsed` (wall seconds, to the millisecond), `kb`
  # (peak resident memory), `taken` (MiB the host took back during the run) and `mark` (the
  # time as printed, with what the host took).
  timed() {
    sync
    local before after start end
    before=$(host_taken)
    start=$(date +%s%N)
    kb=$( cd "$work" && /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1 )
    end=$(date +%s%N)
    after=$(host_taken)
    elapsed=$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.3f", (e - s) / 1e9}')
    taken=$(( (after - before) / 1024 ))
    mark=$elapsed
    if (( taken > 0 )); then mark+="+${taken}M"; fi
  }
  time_program() {
    timed "$program"
    program_times+=("$elapsed")
    (( taken == 0 )) && program_quiet+=("$elapsed")
    program_log+=" $mark"
    (( kb > peak )) && peak=$kb
    size=$(stat -c %s "$work/ordplan.prn")
    rm -f "$work/ordplan.prn"
  }
  time_dd() {
    timed dd if=/dev/zero of="$work/dd.out" bs=1M iflag=count_bytes count="$size" status=none
    dd_times+=("$elapsed")
    (( taken == 0 )) && dd_quiet+=("$elapsed")
    dd_log+=" $mark"
    rm -f "$work/dd.out"
  }
  # The report's size for the untimed warm-up write.
  ( cd "$work" && "$program" >/dev/null ) && size=$(stat -c %s "$work/ordplan.prn")
  rm -f "$work/ordplan.prn"
  dd if=/dev/zero of="$work/dd.out" bs=1M iflag=count_bytes count="$size" status=none
  rm -f "$work/dd.out"
  for ((i = 0; i < runs; i++)); do
    if (( i % 2 == 0 )); then time_program; time_dd; else time_dd; time_program; fi
  done
  p=$(printf '%s\n' "${program_times[@]}" | median)
  d=$(printf '%s\n' "${dd_times[@]}" | median)
  bp=$(printf '%s\n' "${program_times[@]}" | fastest)
  bd=$(printf '%s\n' "${dd_times[@]}" | fastest)
  printf '%-12s %10.3f %8.3f %7.2f %10.3f %8.3f %7.2f %9.1f %14d\n' "$(basename "$input")" \
    "$p" "$d" "$(ratio "$p" "$d")" "$bp" "$bd" "$(ratio "$bp" "$bd")" \
    "$(awk -v k="$peak" 'BEGIN {print k / 1024}')" "$size"
  echo "  program:$program_log   dd:$dd_log"
  if [ -r "$reported" ] && (( ${#program_quiet[@]} > 0 && ${#dd_quiet[@]} > 0 )); then
    qp=$(printf '%s\n' "${program_quiet[@]}" | median)
    qd=$(printf '%s\n' "${dd_quiet[@]}" | median)
    printf '  runs the host left alone (%d and %d): median %.3f and %.3f, ratio %.2f\n' \
      "${#program_quiet[@]}" "${#dd_quiet[@]}" "$qp" "$qd" "$(ratio "$qp" "$qd")"
  fi
done
rm -f "$work/ordplan.txt"
