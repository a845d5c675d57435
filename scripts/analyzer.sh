#!/usr/bin/env bash
# Installs what is missing, builds, and opens the analyzer on the bundled example runs.
# The runs are copied to a temporary home folder, so nothing is written into the
# repository or into your own run folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build
scripts/build.sh build-app -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTICKSCOPE_BUILD_TESTS=OFF -DTICKSCOPE_BUILD_BENCH=OFF

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
cp -r examples/home/. "$home/"
HOME="$home" build-app/src/tickscope
