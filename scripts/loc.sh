#!/usr/bin/env bash
# Counts the lines of code of the product (src/, include/, cli/, service/, web/) and of the
# tests (tests/, fuzz targets and helpers included), and prints their ratio.
# A line of code is a line of a .cpp or .hpp file that is neither blank nor
# only a // comment (nor a line inside or opening a /* */ comment).
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.hpp' \) -print0 | xargs -0 cat | awk '
    /^[ \t]*\/\*/ { if ($0 !~ /\*\//) in_block = 1; next }
    in_block { if ($0 ~ /\*\//) in_block = 0; next }
    /^[ \t]*$/ || /^[ \t]*\/\// { next }
    { n++ }
    END { print n + 0 }'
}

product="$(count src include cli service web)"
tests="$(count tests)"
echo "product (src/, include/, cli/, service/, web/): $product lines"
echo "tests (tests/):                 $tests lines"
awk -v p="$product" -v t="$tests" 'BEGIN { printf "tests / product:                %.1f %%\n", 100 * t / p }'
