#!/usr/bin/env bash
# Fails on dead state in the project's C++ (tools/check-unused.py): clang's unused-entity
# warnings, members declared and never defined, methods nothing calls, data members nothing
# reads. Configures a clang compile database in build/check-unused (nothing is compiled).
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh
build_dir="$(realpath -m "${CHECK_BUILD_DIR:-build/check-unused}")"
# The debug-help stand-in includes the stack-walk header that comes with gcc: clang gets
# that header alone from a folder of its own.
mkdir -p "$build_dir/gcc-include"
for header in backtrace.h backtrace-supported.h; do
    ln -sf "$(gcc -print-file-name=include)/$header" "$build_dir/gcc-include/$header"
done
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-isystem $build_dir/gcc-include" >"$build_dir/configure.log" 2>&1 ||
    { cat "$build_dir/configure.log"; exit 1; }
exec /usr/bin/python3 tools/check-unused.py "$build_dir" \
    -Wunused -Wunused-private-field -Wunused-member-function -Wunused-template -Wunused-const-variable
