#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, starting from
# its committed seed corpus. New inputs go to a scratch corpus, never into the
# repository; a crash stops the run with the fuzzer's report and the input
# that caused it (in BUILD_DIR/artifacts).
# FUZZ_SECONDS (default 60) per target; FUZZ_TARGETS to run only some.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-fuzz}"
seconds="${FUZZ_SECONDS:-60}"
targets=(${FUZZ_TARGETS:-fuzz_tsql fuzz_filter fuzz_text fuzz_binding fuzz_pages fuzz_request})
scripts/install-deps.sh --fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTARNWICK_BUILD_FUZZ=ON -DTARNWICK_BUILD_TESTS=ON -DTARNWICK_BUILD_BENCH=OFF -DTARNWICK_WERROR=ON
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  name="${t#fuzz_}"
  work="$build/corpus/$name"
  mkdir -p "$work"
  extra=()
  [ -f "tests/fuzz/$name.dict" ] && extra+=("-dict=tests/fuzz/$name.dict")
  echo "== $t for ${seconds}s"
  log="$build/artifacts/$name.log"
  status=0
  "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$PWD/$build/artifacts/$name-" "${extra[@]}" "$work" "tests/fuzz/corpus_$name" >"$log" 2>&1 ||
    status=$?
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|Done )|ERROR|SUMMARY|artifact" "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    exit "$status"
  fi
done
