#!/usr/bin/env bash
# installed_docs_test.sh SOURCE_DIR BINARY_DIR
# The documents the package installs: both man pages format without a warning, the
# tickscope-report page names every option that --help lists, and the desktop entry is
# valid. Exit code 77 (skipped) when groff or desktop-file-validate is missing.
set -euo pipefail
source_dir="$1"
binary_dir="$2"
for tool in groff desktop-file-validate; do
    if ! command -v "$tool" > /dev/null; then
        echo "skipped: $tool is missing (scripts/setup.sh checks installs it)"
        exit 77
    fi
done

failed=0
for page in "$binary_dir"/man/*.1; do
    warnings=$(groff -man -ww -z -Tutf8 "$page" 2>&1 || true)
    if [ -n "$warnings" ]; then
        echo "$page: $warnings"
        failed=1
    fi
    if grep -q "@TICKSCOPE_VERSION@" "$page"; then
        echo "$page: the version was not filled in"
        failed=1
    fi
done

# Every long option of the help, as the page writes it ("\-\-max\-hits").
page="$binary_dir/man/tickscope-report.1"
options=$("$binary_dir/tools/tickscope-report" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || { echo "tickscope-report --help lists no options"; failed=1; }
for option in $options; do
    if ! grep -qF -- "${option//-/\\-}" "$page"; then
        echo "$page does not describe $option"
        failed=1
    fi
done

if ! desktop-file-validate "$source_dir/data/tickscope.desktop"; then
    failed=1
fi
[ "$failed" -eq 0 ] && echo "installed documents are complete and valid"
exit "$failed"
