#!/usr/bin/env bash
# Installs what is missing, builds the Release configuration and starts the production.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)"
echo "Built, with the data in projects/zendra/data. There is no program to start yet."
