#!/usr/bin/env bash
# Draws the reference pictures of the frame test anew (tests/reference/row_<row>.png at
# 256 x 160, the rows of tests/reference/rows.txt) with the test build's frame renderer,
# and lists the pictures that changed. Look at every changed picture before committing it.
#   projects/zendra/tools/update-reference-pictures.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
project="$(dirname "$here")"
repo="$(cd "$project/../.." && pwd)"
build="$(realpath -m "${1:-$repo/build/test-RelWithDebInfo}")"
references="$project/tests/reference"

cmake --build "$build" --target zendra_frames zendra_dist
out="$(mktemp -d /tmp/zendra-references-XXXX)"
trap 'rm -rf "$out"' EXIT
rows=$(sed -e 's/#.*//' "$references/rows.txt" | awk 'NF { print $1 }')
# shellcheck disable=SC2086
"$build/bin/zendra_frames" --root "$build/dist" --size 256x160 --out "$out" $rows >/dev/null
for file in "$out"/row_*.png; do
    name="$(basename "$file")"
    if ! cmp -s "$file" "$references/$name"; then
        cp "$file" "$references/$name"
        echo "changed: $references/$name"
    fi
done
