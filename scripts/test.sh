#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: a normal build,
# then a build under AddressSanitizer and UndefinedBehaviorSanitizer. Then the recorder's
# multi-thread tests under ThreadSanitizer, the Windows compile check, and a short run of
# every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build checks fuzz

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTICKSCOPE_SANITIZE=ON -DTICKSCOPE_BUILD_BENCH=OFF
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The run recorder's threads under ThreadSanitizer: only the programs that start threads.
tsan_flags="-fsanitize=thread -fno-omit-frame-pointer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTICKSCOPE_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$tsan_flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" > /dev/null
tsan_tests=(instrument_run_recorder_test hardening_recorder_threads_test)
cmake --build build-tsan --target "${tsan_tests[@]}" -j "$jobs"
for test in "${tsan_tests[@]}"; do
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" "build-tsan/tests/$test"
done

scripts/windows-check.sh
scripts/fuzz.sh 20
