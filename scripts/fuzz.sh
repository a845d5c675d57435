#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) and runs each for a
# while: fuzz.sh SECONDS [target...]   (targets: line_scanning source_loader instrumenter
# run_files attribution; all when none is named). A crash, hang, leak or broken invariant
# makes the script exit non-zero; the failing input is kept in
# <build>/artifacts/<target>/ and the output in <build>/logs/<target>.log.
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_NICE (default 0; 19 for long runs
# beside other work).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [target...]" >&2
    exit 2
fi
seconds="$1"
shift
all_targets=(line_scanning source_loader instrumenter run_files attribution)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=("${all_targets[@]}")
fi
for target in "${targets[@]}"; do
    if [ ! -f "fuzz/targets/${target}_fuzz.cpp" ]; then
        echo "unknown fuzz target: $target" >&2
        exit 2
    fi
done

# clang with libFuzzer's runtime, installed when missing.
scripts/setup.sh fuzz

build="${FUZZ_BUILD_DIR:-build-fuzz}"
niceness="${FUZZ_NICE:-0}"
CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja > /dev/null
names=()
for target in "${targets[@]}"; do
    names+=("${target}_fuzz")
done
nice -n "$niceness" cmake --build "$build" --target "${names[@]}" -j "$(nproc)"

max_len_for() {
    case "$1" in
        run_files) echo 8192 ;;
        attribution) echo 2048 ;;
        *) echo 4096 ;;
    esac
}

# Real programs make good seeds for the targets that read source text, when they are here.
shared_corpus="$(cd .. && pwd)/shared/corpus"

failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    seeds=("fuzz/corpora/$target")
    if [ -d "fuzz/regressions/$target" ]; then
        seeds+=("fuzz/regressions/$target")
    fi
    if [ -d "$shared_corpus" ] && [[ "$target" =~ ^(line_scanning|instrumenter)$ ]]; then
        seeds+=("$shared_corpus")
    fi
    dictionary=()
    if [[ "$target" =~ ^(line_scanning|source_loader|instrumenter)$ ]]; then
        dictionary=("-dict=fuzz/dictionaries/purebasic.dict")
    fi
    echo "== $target: ${seconds}s"
    status=0
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        nice -n "$niceness" "$build/${target}_fuzz" "$corpus" "${seeds[@]}" \
        "${dictionary[@]}" -max_total_time="$seconds" -max_len="$(max_len_for "$target")" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" > "$log" 2>&1 || status=$?
    runs="$(grep -m1 -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)"
    rate="$(grep -m1 -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)"
    if [ "$status" -ne 0 ]; then
        echo "   FAILED (exit $status), see $log; inputs in $artifacts/"
        grep -E "check failed|ERROR:|SUMMARY:" "$log" | head -5 | sed 's/^/   /'
        failed+=("$target")
    else
        echo "   ok: ${runs:-?} runs, ${rate:-?} per second"
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
