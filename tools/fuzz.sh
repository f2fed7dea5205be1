#!/usr/bin/env bash
# Fuzzes every reader of outside data with libFuzzer.
#   tools/fuzz.sh SECONDS [HARNESS...]
# Builds the harnesses with clang, -fsanitize=fuzzer,address,undefined in build/fuzz, then
# runs each for SECONDS (FUZZ_JOBS at a time, default 3), starting from its committed seed
# corpus (and from the dictionary <harness>.dict beside that corpus's folder, if there is one).
# New corpus entries go to build/fuzz/corpus/<harness>, findings to
# build/fuzz/artifacts/<harness>, the fuzzer's output to build/fuzz/logs/<harness>.log.
# Prints one line a harness and exits non-zero on any crash, leak, timeout or out-of-memory.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [HARNESS...]" >&2
    exit 2
fi
seconds="$1"
shift
jobs="${FUZZ_JOBS:-3}"
build_dir="$(realpath -m "${FUZZ_BUILD_DIR:-build/fuzz}")"

./tools/install-deps.sh
# The debug-help stand-in includes the stack-walk header that comes with gcc: clang gets
# that header alone from a folder of its own.
mkdir -p "$build_dir/gcc-include"
for header in backtrace.h backtrace-supported.h; do
    ln -sf "$(gcc -print-file-name=include)/$header" "$build_dir/gcc-include/$header"
done
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="-isystem $build_dir/gcc-include" -DZENDRA_FUZZ=ON -DZENDRA_TESTS=OFF \
    >"$build_dir/configure.log" 2>&1 || { cat "$build_dir/configure.log"; exit 1; }

list="$build_dir/fuzzers.txt"
selected=()
while read -r name binary corpus; do
    if [ $# -eq 0 ] || printf '%s\n' "$@" | grep -qx "$name"; then
        selected+=("$name $binary $corpus")
    fi
done <"$list"
if [ ${#selected[@]} -eq 0 ]; then
    echo "no harness selected; known: $(cut -d' ' -f1 "$list" | tr '\n' ' ')" >&2
    exit 2
fi
targets=()
for entry in "${selected[@]}"; do targets+=("${entry%% *}"); done
cmake --build "$build_dir" -j "${FUZZ_BUILD_JOBS:-4}" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/sanitize/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_one() {
    local name="$1" binary="$2" seeds="$3"
    local corpus="$build_dir/corpus/$name" artifacts="$build_dir/artifacts/$name" log="$build_dir/logs/$name.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    rm -f "$artifacts"/*
    local dict=() rc=0
    [ -f "$(dirname "$seeds")/$name.dict" ] && dict=(-dict="$(dirname "$seeds")/$name.dict")
    "$binary" "$corpus" "$seeds" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
        -print_final_stats=1 -close_fd_mask=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || rc=$?
    local execs rate cov ft units findings
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    units=$(find "$corpus" -type f | wc -l)
    findings=$(find "$artifacts" -type f | wc -l)
    printf '%-34s execs %10s  exec/s %7s  cov %6s  ft %7s  corpus %5s  findings %s  exit %s\n' \
        "$name" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$units" "$findings" "$rc"
    [ "$rc" -eq 0 ] && [ "$findings" -eq 0 ]
}

status=0
summary="$build_dir/summary.txt"
: >"$summary"
running=0
for entry in "${selected[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    # shellcheck disable=SC2086
    run_one $entry >>"$summary" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
cat "$summary"
if [ "$status" -ne 0 ]; then
    echo "fuzzing found faults: see $build_dir/artifacts and $build_dir/logs" >&2
fi
exit "$status"
