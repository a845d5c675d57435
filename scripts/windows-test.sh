#!/usr/bin/env bash
# Builds the Windows platform layer and its tests with MinGW-w64 (GoogleTest from Debian's
# sources, the same compiler) into build-windows/ and runs them under Wine: home and
# temporary folders, environment variables, the IDE window title reader on a window the
# test creates, folder listing, file sizes, regular files only, the atomic writer, folders,
# the local date and the ids. Wine's windows need a display: without one the tests run under
# a private Xvfb server.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh windows

build=build-windows
cmake -S tests/windows -B "$build" -G Ninja --toolchain "$PWD/cmake/mingw-w64.cmake" > /dev/null
nice cmake --build "$build"

# Debian's wine64 keeps its loader and server in /usr/lib/wine (the "wine" package adds the
# wrappers in /usr/bin). Wine keeps its own prefix in the build folder; its first start
# creates it.
export PATH="/usr/lib/wine:$PATH"
export WINEPREFIX="$PWD/$build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run --auto-servernum --server-args="-screen 0 640x480x24" "$0" "$@"
fi

wine64 wineboot --init > /dev/null 2>&1 || true
failed=0
for test in platform_windows_test terminal_requesters_test; do
    echo "windows-test: $test"
    if ! wine64 "$build/$test.exe" --gtest_brief=1; then
        failed=1
    fi
done
wineserver64 --wait || true
if [ "$failed" -ne 0 ]; then
    echo "windows-test: Windows platform tests failed under $(wine64 --version)" >&2
    exit 1
fi
echo "windows-test: the Windows platform tests pass under $(wine64 --version)"
