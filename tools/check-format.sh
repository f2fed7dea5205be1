#!/usr/bin/env bash
# Fails when a C++ file of the project is not in the format of .clang-format.
#   tools/check-format.sh          check every tracked C++ file
#   tools/check-format.sh --fix    rewrite them in place
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--fix" ]; then
    git ls-files -z '*.cpp' '*.h' | xargs -0 -P "$(nproc)" -n 16 clang-format -i
    exit 0
fi
total=$(git ls-files '*.cpp' '*.h' | wc -l)
bad=$(git ls-files -z '*.cpp' '*.h' |
    xargs -0 -P "$(nproc)" -n 1 sh -c 'clang-format --dry-run -Werror "$0" >/dev/null 2>&1 || echo "$0"')
if [ -n "$bad" ]; then
    echo "Not in the project's format (tools/check-format.sh --fix rewrites them):"
    echo "$bad" | sort | sed 's/^/  /'
    exit 1
fi
echo "format: $total files checked"
