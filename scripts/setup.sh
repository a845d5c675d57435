#!/usr/bin/env bash
# Installs the Debian packages that are missing for the named parts (default: all):
#   build   - compiler, CMake, Qt, PCRE2, OpenSSL, CLI11, UTF8-CPP, GoogleTest, Google Benchmark
#   checks  - MinGW-w64 for the Windows compile check, clang-format for the format check,
#             groff and desktop-file-utils for the installed documents' test
#   package - dpkg-dev (cpack's dependency list) and mmdebstrap (a clean root to install into)
#   windows - MinGW-w64, GoogleTest's sources, Wine and Xvfb for the Windows platform tests
#   fuzz    - clang with libFuzzer's runtime
#   browser - Chromium, which loads the report tool's HTML page in the tests (they are
#             skipped without it)
# Uses apt-get, through sudo when not run as root.
set -euo pipefail

parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(build checks package windows fuzz browser)

packages=()
for part in "${parts[@]}"; do
    case "$part" in
    build)
        packages+=(cmake ninja-build g++ pkg-config
            qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
            libpcre2-dev libssl-dev libcli11-dev libutfcpp-dev
            libgtest-dev libgmock-dev libbenchmark-dev) ;;
    checks) packages+=(g++-mingw-w64-x86-64-posix clang-format groff-base desktop-file-utils) ;;
    package) packages+=(dpkg-dev mmdebstrap) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine64 xvfb xauth) ;;
    fuzz) packages+=(clang libclang-rt-14-dev cmake ninja-build pkg-config libpcre2-dev libssl-dev
            libutfcpp-dev) ;;
    browser) packages+=(chromium) ;;
    *)
        echo "setup: unknown part '$part' (build, checks, package, windows, fuzz, browser)" >&2
        exit 2 ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
