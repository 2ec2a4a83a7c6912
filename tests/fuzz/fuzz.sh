#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Runs one fuzz target: fuzz.sh <binary> <seconds> <work corpus> <seed corpus>
# New inputs go to the work corpus (in the build folder), never to the seeds
# kept in the repository. Example, from the build folder, for an hour:
#   ../tests/fuzz/fuzz.sh tests/fuzz/fuzz_dialogue 3600 fuzz-work ../tests/fuzz/corpus/dialogue
set -u
binary=$1 seconds=$2 work=$3 seeds=$4
mkdir -p "$work"
log="$work.log"
ASAN_OPTIONS="detect_leaks=1" "$binary" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$work" "$seeds" >"$log" 2>&1
status=$?
# The dictionary dump is long; the findings and the statistics are at the end.
grep -v '# Uses:' "$log" | tail -n 40
exit $status
