#!/bin/bash
# End to end, as a person would: start the program in a fresh folder with a small data
# set, answer the start dialog with the keyboard, and check the exit code, the picture and
# the sound. Mode "timeline": the show runs to its end mark. Mode "escape": Escape ends it.
# Arguments: program mp3-tool shader-folder mode
set -u
program=$1 mp3tool=$2 shaders=$3 mode=$4
[ -n "${DISPLAY:-}" ] || { echo "no display"; exit 77; }
command -v xdotool >/dev/null && command -v import >/dev/null || { echo "no xdotool or imagemagick"; exit 77; }

work=$(mktemp -d /tmp/core-e2e-XXXXXX)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/data/sync"
cp -r "$shaders" "$work/src/shaders"
"$mp3tool" "$work/data/demo.mp3" 6 || { echo "could not write the music"; exit 1; }

# A track file: key count, then (row, value bits, key type) records, little endian.
track() { python3 - "$@" <<'PY'
import struct, sys
path, keys = sys.argv[1], sys.argv[2:]
with open(path, "wb") as f:
    f.write(struct.pack("<I", len(keys) // 2))
    for row, value in zip(keys[0::2], keys[1::2]):
        f.write(struct.pack("<IfB", int(row), float(value), 0))
PY
}
# End mark at row 60 (about 3.5 seconds).
track "$work/data/sync/sync_GotoRow.track" 0 -1 60 0

# The window by its exact title (searched by class: the title is not always WM_NAME).
find_window() {
    for i in $(seq 1 300); do
        for w in $(xdotool search --class . 2>/dev/null); do
            [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && { echo "$w"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

cd "$work"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "$program" >"$work/out.txt" 2>&1 &
pid=$!

timeout 30 xdotool search --sync --onlyvisible --name '^Cobalt$' >/dev/null || { echo "no start dialog"; cat "$work/out.txt"; exit 1; }
sleep 0.3
xdotool search --onlyvisible --name '^Cobalt$' windowactivate --sync >/dev/null 2>&1
# Timeline: Loop off (Tab from Fullscreen to Loop, Space), so the end mark ends the show.
if [ "$mode" = timeline ]; then
    xdotool key --delay 150 Tab space Return
else
    xdotool key Return
fi
# A loaded machine may take seconds to compile the effects before the first frame shows:
# take pictures of the framework's window until one shows the test scene's colour (green
# 0.3, red and blue brighter) or the show ends.
window=$(find_window "framework e2e") || { echo "no window"; cat "$work/out.txt"; exit 1; }
seen=0
for i in $(seq 1 60); do
    if timeout 10 import -window "$window" "$work/try.png" 2>/dev/null; then
        rgb=$(convert "$work/try.png" -resize 1x1\! -format "%[fx:r] %[fx:g] %[fx:b]" info: 2>/dev/null) || rgb=""
        echo "picture $i: ${rgb:-unreadable}"
        if [ -n "$rgb" ] && python3 -c "import sys; r, g, b = map(float, sys.argv[1:]); sys.exit(0 if abs(g - 0.3) < 0.08 and r > 0.1 and b > 0.25 else 1)" $rgb; then
            seen=1
            break
        fi
    fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
done
if [ "$mode" = escape ]; then
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window" >/dev/null 2>&1
    xdotool key Escape
fi

for i in $(seq 1 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "the program did not end"; cat "$work/out.txt"; exit 1; fi
wait $pid; code=$?
echo "exit code $code"
[ $code -eq 0 ] || { cat "$work/out.txt"; exit 1; }

[ $seen -eq 1 ] || { echo "the window never showed the scene"; exit 1; }

python3 - "$work/audio.raw" <<'PY' || { echo "no sound"; exit 1; }
import os, struct, sys
data = open(sys.argv[1], "rb").read() if os.path.exists(sys.argv[1]) else b""
print("audio bytes", len(data))
loud = sum(1 for i in range(0, len(data) - 1, 2) if abs(struct.unpack_from("<h", data, i)[0]) > 1000)
print("loud samples", loud)
sys.exit(0 if loud > 1000 else 1)
PY
echo "passed"
