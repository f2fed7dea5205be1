#!/bin/bash
# End to end, as a person would: copy the shipped folder with the short test data set in
# place of its data, start the program there, answer the start dialog with the keyboard
# (windowed), and check the exit code, two pictures of the window and the sound.
# Mode "timeline": Loop off, the show runs to its end mark; the spectrum cache is written.
# Mode "escape": Loop on (the show would never end), Escape ends it in order.
# Arguments: dist-folder test-data-folder program mode
set -u
dist=$1 testdata=$2 program=$3 mode=$4
[ -n "${DISPLAY:-}" ] || { echo "no display"; exit 77; }
command -v xdotool >/dev/null && command -v import >/dev/null && command -v convert >/dev/null ||
    { echo "no xdotool or imagemagick"; exit 77; }
[ -x "$dist/$program" ] || { echo "no program $dist/$program"; exit 1; }
[ -d "$testdata/sync" ] || { echo "no test data in $testdata"; exit 1; }

work=$(mktemp -d /tmp/zendra-e2e-XXXXXX)
pid=""
# ZENDRA_E2E_KEEP=1 keeps the folder (pictures, sound, output) for a look.
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; [ -n "${ZENDRA_E2E_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"' EXIT
# The shipped folder with the test data set.
. "$(dirname "$0")/shipped_copy.sh"
copy_shipped "$dist" "$testdata" "$work/run"
[ ! -e "$work/run/zendra.scons" ] || { echo "the shipped folder holds zendra.scons"; exit 1; }

# Pictures: mean brightness 0 to 1; mean difference of two pictures 0 to 1.
brightness() { convert "$1" -depth 8 rgb:- | python3 -c "import sys; d=sys.stdin.buffer.read(); print(sum(d)/(255*max(len(d),1)))"; }
difference() {
    python3 - "$1" "$2" <<'PY'
import subprocess, sys
a, b = (subprocess.run(["convert", p, "-depth", "8", "rgb:-"], capture_output=True).stdout for p in sys.argv[1:])
print(1.0 if len(a) != len(b) or not a else sum(abs(x - y) for x, y in zip(a, b)) / (255 * len(a)))
PY
}
above() { python3 -c "import sys; sys.exit(0 if float(sys.argv[1]) > float(sys.argv[2]) else 1)" "$1" "$2"; }

case $program in
    zendra_640) size=640x400 ;;
    *) size=1280x800 ;;
esac
# Windows titled "quiet zendra": the show's window has the build's size; any other is an
# alert (the software-device notice on a machine without a hardware device), which a
# person reads and closes with Return. A window whose size cannot be read has gone between
# the queries (the show's own at exit): it is left out.
windows() {
    for w in $(xdotool search --class . 2>/dev/null); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "quiet zendra" ] || continue
        geometry=$(xdotool getwindowgeometry "$w" 2>/dev/null | awk '/Geometry/ {print $2}')
        [ -z "$geometry" ] || echo "$w $geometry"
    done
}
answer_alerts() {
    windows | while read -r w geometry; do
        [ "$geometry" = "$size" ] && continue
        echo "answering an alert" >&2
        xdotool windowfocus --sync "$w" >/dev/null 2>&1
        xdotool key Return
    done
}
find_window() {
    for _ in $(seq 1 600); do
        answer_alerts
        w=$(windows | awk -v size="$size" '$2 == size {print $1; exit}')
        [ -n "$w" ] && { echo "$w"; return 0; }
        kill -0 $pid 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

cd "$work/run"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "./$program" >"$work/out.txt" 2>&1 &
pid=$!

timeout 60 xdotool search --sync --onlyvisible --name '^Cobalt$' >/dev/null ||
    { echo "no start dialog"; cat "$work/out.txt"; exit 1; }
sleep 0.3
xdotool search --onlyvisible --name '^Cobalt$' windowactivate --sync >/dev/null 2>&1
# Focus starts on Fullscreen: Space unchecks it; Tab moves to Loop, Space unchecks it.
if [ "$mode" = timeline ]; then
    xdotool key --delay 150 space Tab space Return
else
    xdotool key --delay 150 space Return
fi

window=$(find_window) && echo "[$SECONDS s] window $window" || { echo "no window"; cat "$work/out.txt"; exit 1; }
# Loading (effects, spectrum) may take a while on a busy machine: wait for a lit picture.
# import waits for a click when its window has gone (the show may end between two grabs),
# so each grab is bounded.
first=""
deadline=$((SECONDS + 90))
while [ $SECONDS -lt $deadline ]; do
    answer_alerts
    if timeout 10 import -window "$window" "$work/try.png" 2>/dev/null; then
        level=$(brightness "$work/try.png" 2>/dev/null) || level=0
        if above "${level:-0}" 0.02; then
            mv "$work/try.png" "$work/first.png"
            first=$level
            break
        fi
    fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
done
[ -n "$first" ] || { echo "the window never showed a lit picture"; cat "$work/out.txt"; exit 1; }
echo "[$SECONDS s] a lit picture, brightness $first"

# The timeline lasts a few seconds, and a slow build (the sanitizers) may reach its end
# before it presents another picture. The escape run loops for as long as it takes, so it
# is the one that waits for a later, different picture (frames on the software device can
# be slow), then presses Escape.
if [ "$mode" = escape ]; then
    second="" change=0
    deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ] && kill -0 $pid 2>/dev/null; do
        sleep 0.25
        timeout 10 import -window "$window" "$work/second.png" 2>/dev/null || continue
        second=$(brightness "$work/second.png")
        change=$(difference "$work/first.png" "$work/second.png")
        # A dark one is the fade at the top of a loop: go on to a lit one.
        above "$change" 0.005 && above "$second" 0.02 && break
    done
    echo "[$SECONDS s] second picture: brightness ${second:-none}, mean difference $change"
    [ -n "$second" ] || { echo "no second picture"; exit 1; }
    above "$second" 0.02 || { echo "the second picture is dark"; exit 1; }
    above "$change" 0.005 || { echo "the pictures do not differ"; exit 1; }

    kill -0 $pid 2>/dev/null || { echo "the show ended by itself with Loop on"; cat "$work/out.txt"; exit 1; }
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window" >/dev/null 2>&1
    xdotool key Escape
    echo "[$SECONDS s] Escape"
fi

for _ in $(seq 1 600); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "the program did not end"; cat "$work/out.txt"; exit 1; fi
wait $pid; code=$?
pid=""
echo "[$SECONDS s] exit code $code"
[ $code -eq 0 ] || { cat "$work/out.txt"; exit 1; }

python3 - "$work/audio.raw" <<'PY' || { echo "no sound"; exit 1; }
import os, struct, sys
data = open(sys.argv[1], "rb").read() if os.path.exists(sys.argv[1]) else b""
loud = sum(1 for i in range(0, len(data) - 1, 2) if abs(struct.unpack_from("<h", data, i)[0]) > 1000)
print("audio bytes", len(data), "loud samples", loud)
sys.exit(0 if loud > 1000 else 1)
PY

if [ "$mode" = timeline ]; then
    size=$(stat -c %s data/fft.dat 2>/dev/null || echo 0)
    echo "data/fft.dat: $size bytes"
    [ "$size" -eq 460832 ] || { echo "the spectrum cache is not 460832 bytes"; exit 1; }
fi
echo "passed"
