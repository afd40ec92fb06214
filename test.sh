#!/usr/bin/env bash
# Builds everything (host module, tools, IA-32 TE image) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j "$(nproc)"
