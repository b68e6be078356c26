#!/usr/bin/env bash
# Quick start, step one: install what is missing, build, and run the main job
# on the embedded default database (the demo creates a sample office on first run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
db=build/office.tarnwick
build/cli/tarnwick demo "$db"
