#!/usr/bin/env bash
# Lays out the shipped folder: both programs and the run-time modules they load by name,
# src/shaders (every effect file with its compiled fallback) and data. The folder is built
# beside the target and swapped in whole, so a failed run leaves the previous one as it was.
# Files are hard-linked where the file system allows it (copied otherwise); the spectrum
# cache is copied, as the program rewrites it in place.
# Arguments: dist-dir bin-dir data-dir packed-effects-dir production-shaders framework-shaders
set -euo pipefail
if [ $# -ne 6 ]; then
    echo "usage: $0 dist-dir bin-dir data-dir packed-effects-dir production-shaders framework-shaders" >&2
    exit 2
fi
dist=${1%/} bin=$2 data=$3 packed=$4 shaders=$5 fw_shaders=$6

fail() { echo "layout-dist: $*" >&2; exit 1; }
# Hard link, or copy when linking is not possible.
place() { ln -f "$1" "$2" 2>/dev/null || cp -f "$1" "$2"; }

for program in zendra zendra_640; do
    [ -x "$bin/$program" ] || fail "missing program $bin/$program"
done
[ -f "$bin/d3d10warp.so" ] || fail "missing module $bin/d3d10warp.so"
[ -d "$data/sync" ] || fail "no generated data in $data"

mkdir -p "$(dirname "$dist")"
stage=$(mktemp -d "$dist.new.XXXXXX")
trap 'rm -rf "$stage"' EXIT
chmod 755 "$stage"

# Programs and the modules loaded from the program's folder.
for file in zendra zendra_640 d3d10warp.so bass.so psapi.so; do
    [ -f "$bin/$file" ] && place "$bin/$file" "$stage/$file"
done

# Effect files: the production's, the framework's (fw_*), each with "<name>o".
mkdir -p "$stage/src/shaders"
shopt -s nullglob
effects=("$shaders"/*.fx "$shaders"/*.fxi "$fw_shaders"/fw_*.fx "$fw_shaders"/fw_*.fxi)
[ ${#effects[@]} -gt 0 ] || fail "no effect files in $shaders or $fw_shaders"
for effect in "${effects[@]}"; do
    name=$(basename "$effect")
    [ -f "$packed/${name}o" ] || fail "no compiled fallback ${name}o in $packed"
    cp -f "$effect" "$stage/src/shaders/$name"
    cp -f "$packed/${name}o" "$stage/src/shaders/${name}o"
done

# Data, without what a run leaves behind.
(cd "$data" && find . -path ./temp -prune -o -path ./screenshots -prune -o -type d -print) |
    while IFS= read -r dir; do mkdir -p "$stage/data/$dir"; done
(cd "$data" && find . -path ./temp -prune -o -path ./screenshots -prune -o -type f -print) |
    while IFS= read -r file; do
        if [ "$file" = ./fft.dat ]; then
            cp -f "$data/$file" "$stage/data/$file"
        else
            place "$data/$file" "$stage/data/$file"
        fi
    done
# A spectrum cache the previous folder computed stays valid while the music is the same.
if [ ! -f "$stage/data/fft.dat" ] && [ -f "$dist/data/fft.dat" ] && [ -f "$dist/data/demo.mp3" ] &&
    cmp -s "$dist/data/demo.mp3" "$stage/data/demo.mp3"; then
    cp -f "$dist/data/fft.dat" "$stage/data/fft.dat"
fi

# Swap the new folder in.
old=""
if [ -e "$dist" ]; then
    old="$dist.old.$$"
    mv "$dist" "$old"
fi
mv "$stage" "$dist"
trap - EXIT
[ -z "$old" ] || rm -rf "$old"
echo "Laid out $dist"
