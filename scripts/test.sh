#!/usr/bin/env bash
# Quick start, step two: build and run the whole test suite.
# BUILD_DIR and extra CMake options (CMAKE_ARGS) may be given in the environment.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"
# The server engine's tests run against a private PostgreSQL cluster of their own.
scripts/with-postgres.sh ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
