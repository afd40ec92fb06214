#!/usr/bin/env bash
# Builds the module and runs its entry point against the platform model.
# Usage: ./run.sh [--probe 0xNN] [--busy N]
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build --target oemcom-host-run >/dev/null
exec build/oemcom-host-run "$@"
