#!/bin/bash
# End to end with bad data: the shipped folder with the short test data set, in which a
# track file is truncated, a mesh is garbage, a DDS image is truncated, the music is an
# empty file, a folder stands where an image should be and a pipe where the noise volume
# should be. The program must start, show one warning for each of the two unreadable images
# and one for the noise volume, and the notice that counts them
# (each answered with Return, as a person would), play the show without sound, write no
# spectrum cache, and end with exit code 0 at the end mark.
# Arguments: dist-folder test-data-folder
set -u
dist=$1 testdata=$2
program=zendra size=1280x800
[ -n "${DISPLAY:-}" ] || { echo "no display"; exit 77; }
command -v xdotool >/dev/null || { echo "no xdotool"; exit 77; }
[ -x "$dist/$program" ] || { echo "no program $dist/$program"; exit 1; }
[ -d "$testdata/sync" ] || { echo "no test data in $testdata"; exit 1; }

work=$(mktemp -d /tmp/zendra-baddata-XXXXXX)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; [ -n "${ZENDRA_E2E_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"' EXIT
. "$(dirname "$0")/../e2e/shipped_copy.sh"
copy_shipped "$dist" "$testdata" "$work/run"

# The damage.
data="$work/run/data"
track="$data/sync/sync_Obj_MainType.track"
[ "$(stat -c %s "$track")" -gt 18 ] || { echo "$track is too short to truncate"; exit 1; }
truncate -s 18 "$track"                                    # the count, one record, half a record
python3 -c "import random, sys; r = random.Random(17); sys.stdout.buffer.write(bytes(r.randrange(256) for _ in range(6000)))" >"$data/kuben.obj"
truncate -s 1000 "$data/fucrr_2_0_0.dds"                    # the header and a little of the texels
: >"$data/demo.mp3"
rm -f "$data/vignette.jpg" && mkdir "$data/vignette.jpg"
rm -f "$data/noise.bin" && mkfifo "$data/noise.bin"          # no writer: an open that waits never returns

# Windows titled "quiet zendra": the show's window has the build's size, any other is an
# alert; "quiet zendra: <seconds>" is the self-closing notice that counts the warnings.
# Each is answered with Return and counted once, by kind. A window whose size cannot be
# read has gone between the queries (the show's own at exit): it is left out, while an
# alert stays until answered and is met by a later pass.
windows() {
    for w in $(xdotool search --class . 2>/dev/null); do
        title=$(xdotool getwindowname "$w" 2>/dev/null)
        case $title in
            "quiet zendra") kind=alert ;;
            "quiet zendra: "[0-9]*) kind=notice ;;
            *) continue ;;
        esac
        geometry=$(xdotool getwindowgeometry "$w" 2>/dev/null | awk '/Geometry/ {print $2}')
        [ -z "$geometry" ] || echo "$w $geometry $kind"
    done
}
answered="$work/answered"
: >"$answered"
answer_alerts() {
    windows | while read -r w geometry kind; do
        [ "$geometry" = "$size" ] && [ "$kind" = alert ] && continue
        grep -q "^$w " "$answered" || { echo "$w $kind" >>"$answered"; echo "[$SECONDS s] answering $kind $w" >&2; }
        xdotool windowfocus --sync "$w" >/dev/null 2>&1
        xdotool key Return
    done
}

cd "$work/run"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "./$program" >"$work/out.txt" 2>&1 &
pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^Cobalt$' >/dev/null ||
    { echo "no start dialog"; cat "$work/out.txt"; exit 1; }
sleep 0.3
xdotool search --onlyvisible --name '^Cobalt$' windowactivate --sync >/dev/null 2>&1
# Windowed (Space unchecks Fullscreen), Loop off (Tab, Space), start.
xdotool key --delay 150 space Tab space Return

# Until the program ends (the end mark of the test timeline, or 150 s at most).
shown=0
for _ in $(seq 1 1500); do
    kill -0 $pid 2>/dev/null || break
    answer_alerts
    [ -n "$(windows | awk -v size="$size" '$2 == size && $3 == "alert"')" ] && shown=1
    sleep 0.1
done
if kill -0 $pid 2>/dev/null; then echo "the program did not end"; cat "$work/out.txt"; exit 1; fi
wait $pid; code=$?
pid=""
alerts=$(grep -c " alert$" "$answered")
notices=$(grep -c " notice$" "$answered")
echo "[$SECONDS s] exit code $code, show window seen: $shown, alerts answered: $alerts, notices: $notices"
cat "$work/out.txt"
[ $code -eq 0 ] || { echo "exit code $code"; exit 1; }
[ $shown -eq 1 ] || { echo "the show's window never appeared"; exit 1; }
# Two texture warnings (the truncated DDS, the folder), the noise volume's, the software-device
# notice on a machine without a hardware device, and the notice that counts the warnings.
[ "$alerts" -ge 3 ] && [ "$alerts" -le 4 ] || { echo "expected 3 warnings (4 with the device notice), got $alerts"; exit 1; }
[ "$notices" -eq 1 ] || { echo "expected the load-issue notice once, got $notices"; exit 1; }
# Music that does not decode gives a silent spectrum, which is never cached.
[ ! -e "$work/run/data/fft.dat" ] || { echo "a spectrum cache was written without music"; exit 1; }

python3 - "$work/audio.raw" <<'PY' || { echo "sound from an empty music file"; exit 1; }
import os, struct, sys
data = open(sys.argv[1], "rb").read() if os.path.exists(sys.argv[1]) else b""
loud = sum(1 for i in range(0, len(data) - 1, 2) if abs(struct.unpack_from("<h", data, i)[0]) > 1000)
print("audio bytes", len(data), "loud samples", loud)
sys.exit(0 if loud == 0 else 1)
PY
echo "passed"
