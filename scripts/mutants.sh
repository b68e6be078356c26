#!/usr/bin/env bash
# Mutation score of the test suite.
#
#   scripts/mutants.sh [LIST]        (LIST defaults to scripts/mutants.txt)
#
# Applies each mutant of LIST alone to the tree (one small fault: a file, an
# exact text found once in it, its replacement), rebuilds incrementally, runs
# the whole suite, and puts the file back. A mutant the suite fails on is
# killed; one it passes survives; one that does not build counts as neither.
# Prints a line per mutant and the score, and exits 0 however many survive;
# it exits 1 only if the unmutated tree does not build or its suite fails.
#
# The suite runs as the README's test command runs it, with a private
# PostgreSQL cluster started once for the whole run, and stops at the first
# failing test. The test programs of the mutated file's own folder run first
# (src/documents/... -> tw_test_documents*): most mutants die there in
# seconds, and only the rest need the whole suite. The verdict is the same. Builds go to BUILD_DIR (build-mutants by default), without
# the benchmarks, and in Release so each relink is quick.
set -euo pipefail
cd "$(dirname "$0")/.."
list="${1:-scripts/mutants.txt}"

if [ -z "${TARNWICK_PG_SOCKET:-}" ]; then
  exec scripts/with-postgres.sh "$0" "$@"
fi

build="${BUILD_DIR:-build-mutants}"
jobs="$(nproc)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_BENCH=OFF ${CMAKE_ARGS:-} >/dev/null
build="$(cd "$build" && pwd)"

# Succeeds when a test program named after the mutated file's top folder
# under src/ fails, that is when the near tests kill the mutant.
near_tests_fail() {
  local top="${1#src/}"
  top="${top%%/*}"
  local program
  for program in "$build"/tests/tw_test_"$top"*; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    (cd "$build/tests" && timeout 600 "$program" --gtest_brief=1) </dev/null >"$build/mutant-near.log" 2>&1 || return 0
  done
  return 1
}

run_suite() {
  ctest --test-dir "$build" --stop-on-failure -j"$jobs" --timeout 600 </dev/null >"$build/mutant-suite.log" 2>&1
}

echo "building and testing the unmutated tree"
cmake --build "$build" -j"$jobs" >"$build/mutant-build.log" 2>&1 || { echo "the tree does not build"; exit 1; }
run_suite || { echo "the suite fails on the unmutated tree: $build/mutant-suite.log"; exit 1; }

mutated=""
restore() {
  if [ -n "$mutated" ]; then cp -p "$build/mutant-original" "$mutated"; touch "$mutated"; mutated=""; fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

total=0 killed=0 survived=0 unbuilt=0 started=$SECONDS
while IFS=$'\t' read -r file exact replacement bug; do
  case "$file" in ''|'#'*) continue ;; esac
  total=$((total + 1))
  count="$(grep -cF -- "$exact" "$file" || true)"
  if [ "$count" != 1 ]; then
    echo "$total. NOT APPLIED ($file: the text is there $count times): $bug"
    unbuilt=$((unbuilt + 1))
    continue
  fi
  cp -p "$file" "$build/mutant-original"
  mutated="$file"
  content="$(cat "$file"; printf x)"
  content="${content%x}"
  printf '%s' "${content/"$exact"/"$replacement"}" >"$file"
  t0=$SECONDS
  if ! cmake --build "$build" -j"$jobs" </dev/null >"$build/mutant-build.log" 2>&1; then
    verdict="DOES NOT BUILD"; unbuilt=$((unbuilt + 1))
  elif near_tests_fail "$file"; then
    verdict="killed"; killed=$((killed + 1))
  elif run_suite; then
    verdict="SURVIVED"; survived=$((survived + 1))
  else
    verdict="killed"; killed=$((killed + 1))
  fi
  restore
  echo "$total. $verdict ($((SECONDS - t0)) s) $file: $bug"
done <"$list"

cmake --build "$build" -j"$jobs" >"$build/mutant-build.log" 2>&1 || true
echo "mutants: $total, killed $killed, survived $survived, not built $unbuilt ($((SECONDS - started)) s)"
echo "score: $killed/$((total - unbuilt))"
