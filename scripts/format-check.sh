#!/usr/bin/env bash
# Checks that every C++ file is formatted as .clang-format says (clang-format --dry-run
# --Werror); lists the files that are not. scripts/format-check.sh --fix formats them.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(find src tests bench fuzz tools -name '*.cpp' -o -name '*.h' | sort)
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "format-check: the files above are not formatted (scripts/format-check.sh --fix)" >&2
    exit 1
fi
echo "format-check: ${#files[@]} files formatted"
