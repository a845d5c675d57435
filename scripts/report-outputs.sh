#!/usr/bin/env bash
# report-outputs.sh REPORT_BINARY RUN_FOLDER OUTPUT_FOLDER
# Writes every report of every run in RUN_FOLDER (*.tkr) into OUTPUT_FOLDER, one file per
# run and option set: the thread list, and text, CSV and JSON for every time mode, three
# thread selections (all, the first, the first two and a missing id) and three threshold
# pairs (none, positive, negative and not a number), with stderr and the exit code.
# Run it with the tool before and after a change and compare: diff -r before after.
# Runs to try: examples/home/Tickscope and the output of build/bench/make_generated_runs.
set -u
bin="$1"
runs="$2"
out="$3"
mkdir -p "$out"
for run in "$runs"/*.tkr; do
    name=$(basename "$run" .tkr)
    "$bin" --threads-list "$run" > "$out/$name.threads" 2>&1
    echo "rc=$?" >> "$out/$name.threads"
    ids=$(tail -n +2 "$out/$name.threads" | grep -v '^rc=' | cut -d, -f1)
    first=$(echo "$ids" | head -1)
    second=$(echo "$ids" | sed -n 2p)
    sets=("" "--threads=$first" "--threads=$first,${second:-$first},77")
    i=0
    for threads in "${sets[@]}"; do
        for mode in all avg max min; do
            for thresholds in "" "--max-hits=10 --max-time=1" "--max-hits=-5 --max-time=3x"; do
                for format in text csv json; do
                    suffix=0
                    [ -n "$thresholds" ] && suffix="${thresholds// /_}"
                    file="$out/$name.$i.$mode.$format.$suffix"
                    # shellcheck disable=SC2086 # the option sets split into words
                    "$bin" "$run" --mode $mode --format $format $threads $thresholds > "$file" 2>&1
                    echo "rc=$?" >> "$file"
                done
            done
        done
        i=$((i + 1))
    done
done
