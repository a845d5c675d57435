#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: the development
# build, then a build under AddressSanitizer and UndefinedBehaviorSanitizer (presets dev and
# asan). Then the format check, the recorder's multi-thread tests under ThreadSanitizer
# (preset tsan), the Release build packed as a Debian package and installed into a clean
# root (scripts/package-check.sh), the Windows compile check, the Windows platform tests
# under Wine (scripts/windows-test.sh), and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build checks package windows fuzz browser

scripts/format-check.sh

for preset in dev asan tsan; do
    cmake --preset "$preset" > /dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j "$(nproc)"
done

scripts/package-check.sh
scripts/windows-check.sh
scripts/windows-test.sh
scripts/fuzz.sh 20
