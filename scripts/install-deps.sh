#!/usr/bin/env bash
# Installs the Debian packages the build needs, skipping those already present.
# The page images need libtiff, libpng and zlib to read and render them and libharu
# (libhpdf) to write PDF; the tests read the PDFs back with poppler-utils.
# The service (`tarnwick serve`) is built on cpp-httplib, its logins on libsodium.
# The browser tests of the web pages drive Debian's Chromium through
# playwright-core and check them with axe-core (tests/web/package.json, pinned
# in its package-lock.json), on the machine's Node.js.
# With --fuzz also clang and its sanitizer and libFuzzer runtime.
set -euo pipefail
packages=(build-essential cmake pkg-config libsqlite3-dev sqlite3 libgtest-dev libgmock-dev
          libbenchmark-dev libfmt-dev libcli11-dev nlohmann-json3-dev
          postgresql libpq-dev libtiff-dev libpng-dev zlib1g-dev libhpdf-dev poppler-utils
          libcpp-httplib-dev libsodium-dev chromium fonts-dejavu-core)
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
[ "${1:-}" = "--fuzz" ] && packages+=(clang libclang-rt-14-dev)
[ "${1:-}" = "--bench" ] && packages+=(wrk)  # the HTTP load of bench/service_bench.sh
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
# The browser tests' own packages, again only when the lock file changed.
web_tests="$(dirname "$0")/../tests/web"
if [ ! -f "$web_tests/node_modules/.package-lock.json" ] ||
   [ "$web_tests/package-lock.json" -nt "$web_tests/node_modules/.package-lock.json" ]; then
  npm ci --prefix "$web_tests" --no-audit --no-fund --loglevel=error
fi
