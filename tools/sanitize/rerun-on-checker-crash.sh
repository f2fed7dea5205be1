#!/usr/bin/env bash
# Runs a test program; when the leak checker itself crashes at exit ("LeakSanitizer has
# encountered a fatal error", which is no finding about the program), runs it once more.
# Any other failure, and a second crash, stand.
set -u
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
"$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ] && grep -q "LeakSanitizer has encountered a fatal error" "$log"; then
    echo "rerun-on-checker-crash: the leak checker crashed; running the test once more" >&2
    "$@"
    status=$?
fi
exit "$status"
