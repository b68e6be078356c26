#!/usr/bin/env bash
# Quick start, step one: install what is missing, build, and run the main job
# on the embedded default database (a sample office created on first run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
db=build/office.tarnwick
[ -f "$db" ] || build/cli/tarnwick init "$db" --sample 2000
build/cli/tarnwick demo "$db"
