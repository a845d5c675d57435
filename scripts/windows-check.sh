#!/usr/bin/env bash
# Compile check of the Windows build: every core source file (platform layer with its Windows
# implementation, source model, run files, instrumentation, analysis, start-up) is compiled
# for Windows with MinGW-w64 as C++20, with warnings as errors, without producing objects.
# PCRE2 and OpenSSL have no MinGW packages here, so their portable headers are taken from
# the host (declarations only), like the header-only UTF8-CPP.
set -euo pipefail
cd "$(dirname "$0")/.."

compiler=""
for candidate in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++; do
    if command -v "$candidate" > /dev/null; then
        compiler="$candidate"
        break
    fi
done
if [ -z "$compiler" ]; then
    echo "windows-check: x86_64-w64-mingw32-g++ is missing (scripts/setup.sh installs it)" >&2
    exit 1
fi

shim="$(mktemp -d)"
trap 'rm -rf "$shim"' EXIT
# The version header that the build generates from project(VERSION ...).
version=$(sed -n 's/^project(Tickscope VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sed -e "s/@PROJECT_VERSION@/$version/" -e "s/@PROJECT_VERSION_TWEAK@/${version##*.}/" \
    cmake/tickscope_version.h.in > "$shim/tickscope_version.h"
ln -s /usr/include/pcre2.h "$shim/pcre2.h"
ln -s /usr/include/utf8cpp/utf8.h "$shim/utf8.h"
ln -s /usr/include/utf8cpp/utf8 "$shim/utf8"
mkdir "$shim/openssl"
for header in /usr/include/openssl/*.h /usr/include/"$(uname -m)"-linux-gnu/openssl/*.h; do
    if [ -f "$header" ]; then
        ln -sf "$header" "$shim/openssl/"
    fi
done

failed=0
count=0
for source in src/platform/*.cpp src/source/*.cpp src/runfiles/*.cpp src/instrument/*.cpp \
              src/analysis/*.cpp src/startup/*.cpp; do
    # CMake builds the POSIX implementation only on other systems.
    if [ "$source" = src/platform/platform_posix.cpp ] ||
        [ "$source" = src/platform/file_writer_posix.cpp ]; then
        continue
    fi
    count=$((count + 1))
    if ! "$compiler" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -Isrc -idirafter "$shim" \
        "$source"; then
        echo "windows-check: $source does not compile for Windows" >&2
        failed=$((failed + 1))
    fi
done

if [ "$failed" -gt 0 ]; then
    echo "windows-check: $failed of $count files failed" >&2
    exit 1
fi
echo "windows-check: $count files compile for Windows ($compiler)"
