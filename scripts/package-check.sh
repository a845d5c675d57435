#!/usr/bin/env bash
# Builds the Release configuration (preset release, warnings are errors), packs it as a
# Debian package (cpack, dependencies from the linked shared libraries), installs the
# package with apt-get into a clean Debian root of its own made by mmdebstrap (on this
# machine itself when no such root can be made, removing it again afterwards), and runs the
# installed programs: tickscope-report --version and --list (on the example runs), and
# tickscope --version.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build package

cmake --preset release > /dev/null
cmake --build --preset release
rm -f build-release/tickscope_*.deb
cpack --preset release > /dev/null
packages=(build-release/tickscope_*.deb)
deb="${packages[0]}"
version=$(dpkg-deb -f "$deb" Version)
echo "package-check: built $deb"

root=$(mktemp -d /tmp/tickscope-root-XXXXXX)
installed_here=0
finish() {
    rm -rf "$root"
    if [ "$installed_here" -eq 1 ]; then
        apt-get remove -y -qq tickscope > /dev/null || true
    fi
}
trap finish EXIT

run=()
home="$root/home"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ -n "$codename" ] && [ "$(id -u)" -eq 0 ] &&
    mmdebstrap --variant=apt --quiet "$codename" "$root" > "$root.log" 2>&1; then
    cp "$deb" "$root/tmp/"
    if ! { chroot "$root" apt-get update -qq &&
        chroot "$root" env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")"; } \
        > "$root.log" 2>&1; then
        cat "$root.log" >&2
        echo "package-check: apt-get cannot install the package into a clean root" >&2
        exit 1
    fi
    run=(chroot "$root" env HOME=/home)
    echo "package-check: installed into a clean $codename root"
else
    echo "package-check: no clean root could be made ($(tail -n 1 "$root.log" 2>/dev/null));" \
        "installing on this machine"
    rm -rf "${root:?}"/*
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" > /dev/null
    installed_here=1
    run=(env HOME="$home")
fi
rm -f "$root.log"

fail() {
    echo "package-check: $*" >&2
    exit 1
}
mkdir -p "$home"
cp -r examples/home/Tickscope "$home/"
[ "$("${run[@]}" /usr/bin/tickscope-report --version)" = "tickscope-report $version" ] ||
    fail "the installed tickscope-report prints another version"
list=$("${run[@]}" /usr/bin/tickscope-report --list)
expected_runs=$(find examples/home/Tickscope -name '*.tkr' | wc -l)
[ "$(echo "$list" | head -n 1)" = "started,program,lines,file" ] ||
    fail "tickscope-report --list printed no header: $list"
[ "$(echo "$list" | grep -c ',main.pb,')" -eq "$expected_runs" ] ||
    fail "tickscope-report --list did not list the $expected_runs example runs: $list"
[ "$("${run[@]}" /usr/bin/tickscope --version)" = "tickscope $version" ] ||
    fail "the installed tickscope prints another version"
echo "package-check: the installed $version runs: --version, --list ($expected_runs runs)"
