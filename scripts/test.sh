#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: a normal build,
# then a build under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTICKSCOPE_SANITIZE=ON -DTICKSCOPE_BUILD_BENCH=OFF
ctest --test-dir build-asan --output-on-failure -j "$jobs"
