#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
#   BUILD_TYPE=Debug ./test.sh        another build type (default RelWithDebInfo)
#   SANITIZE=1 ./test.sh              address and undefined-behaviour sanitizers
#   ./test.sh -R sync                 extra arguments go to ctest
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

build_type="${BUILD_TYPE:-RelWithDebInfo}"
build_dir="build/test-${build_type}"
# Warnings are errors in every build the tests run on.
cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DZENDRA_WERROR=ON)
if [ "${SANITIZE:-0}" = "1" ]; then
    build_dir="${build_dir}-sanitize"
    cmake_args+=(-DZENDRA_SANITIZE=ON)
    # The runtime's record of dynamically loaded modules' thread-local storage is off: it
    # guesses each block's bounds from a header it expects before blocks that start 16
    # bytes into a page, which this C library does not write, and the leak checker then
    # scanned a range read from heap memory and crashed at exit (the GL driver's block
    # lands there in about one process of a hundred). The blocks are heap allocations
    # reached from the thread's static storage, so their pointers stay roots.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0"
    # One list of suppressions for every test (tools/sanitize/lsan.supp).
    export LSAN_OPTIONS="suppressions=$PWD/tools/sanitize/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
cmake -S . -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j "$(nproc)"

# Window and dialog tests need an X display: give them a private Xvfb.
xvfb_pid=""
cleanup() { if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if command -v Xvfb >/dev/null; then
    for n in $(seq 90 130); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
            xvfb_pid=$!
            export DISPLAY=":$n"
            for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
            break
        fi
    done
fi

ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --timeout 600 "$@"
