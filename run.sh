#!/usr/bin/env bash
# Installs what is missing, builds the Release configuration, lays out the shipped folder
# (build/release/dist) and starts the production there (1280 x 800).
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENDRA_TESTS=OFF
cmake --build build/release -j "$(nproc)"
cmake --build build/release --target zendra_dist
cd build/release/dist
exec ./zendra
