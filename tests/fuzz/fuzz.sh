#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Runs one fuzz target, in one of two ways.
#
#   fuzz.sh --runs <count> <binary> <seed corpus>
# CTest's: replays the seeds, then explores <count> inputs from a fixed seed,
# so every machine runs the same inputs and a rerun shows a failure again;
# the failing input is kept beside the binary. What would make two runs
# differ is left out: the values the target compares (pointers among them,
# which move with the clock's returns of memory to the system) as material
# for mutations, and the entropic schedule, which may weigh inputs by their
# run times. Besides, address space randomisation is off, and the
# environment, the arguments and the folder names are the same everywhere, in a
# folder of its own that is thrown away afterwards.
#
#   fuzz.sh <binary> <seconds> <work corpus> <seed corpus>
# People's: explores for <seconds> from a random seed. New inputs go to the
# work corpus (in the build folder), never to the seeds kept in the
# repository; one that found a fault goes into the seeds with the fix.
# Example, from the build folder, for an hour:
#   ../tests/fuzz/fuzz.sh tests/fuzz/fuzz_dialogue 3600 fuzz-work ../tests/fuzz/corpus/dialogue
set -u
options="-timeout=10 -rss_limit_mb=2048 -print_final_stats=1"
if [ "$1" = --runs ]; then
  runs=$2 binary=$(realpath "$3") seeds=$(realpath "$4")
  place=$(mktemp -d) || exit 1
  trap 'rm -rf "$place"' EXIT
  log="$binary.log"
  echo "The seeds, then $runs inputs from seed 1; again: $0 --runs $runs $3 $4"
  mkdir "$place/work" && ln -s "$binary" "$place/fuzz" && ln -s "$seeds" "$place/seeds" || exit 1
  # shellcheck disable=SC2086 # the options are words
  (cd "$place" && env -i PATH=/usr/bin:/bin ASAN_OPTIONS=detect_leaks=1 \
    setarch "$(uname -m)" -R ./fuzz -seed=1 -runs="$runs" -use_cmp=0 -entropic=0 \
    -purge_allocator_interval=-1 -artifact_prefix=./ $options work seeds) \
    >"$log" 2>&1
  status=$?
  for found in "$place"/crash-* "$place"/leak-* "$place"/timeout-* "$place"/oom-*; do
    [ -e "$found" ] && cp "$found" "$binary-${found##*/}" && echo "Input kept: $binary-${found##*/}"
  done
else
  binary=$1 seconds=$2 work=$3 seeds=$4
  mkdir -p "$work"
  log="$work.log"
  # shellcheck disable=SC2086
  ASAN_OPTIONS="detect_leaks=1" "$binary" -max_total_time="$seconds" $options "$work" "$seeds" >"$log" 2>&1
  status=$?
fi
# The dictionary dump is long; the findings and the statistics are at the end.
grep -v '# Uses:' "$log" | tail -n 40
exit $status
