#!/usr/bin/env bash
# Installs what is missing, builds DADiz and runs every test: once in a plain
# build (whose Debian package is then made and checked), then the Windows
# build of the serial layer under Wine, once built with AddressSanitizer and
# UndefinedBehaviorSanitizer. A compiler warning fails any build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

# Cases a test program skipped (for a privilege or a locale this machine
# lacks) are named, so that the log shows what did not run.
skipped() {
  echo "== cases skipped in $1"
  grep -hE -A1 '^SKIP   :|: Skipped$' "$1/Testing/Temporary/LastTest.log" | grep -v '^--$' || echo "none"
}

echo "== build and test"
BUILD_DIR=build bash scripts/build.sh -DDADIZ_WERROR=ON
ctest --test-dir build --output-on-failure -j2
skipped build

echo "== Debian package from the plain build, unpacked and checked"
bash scripts/package.sh
bash tests/package/test_package.sh

echo "== Windows serial layer: built with mingw-w64, tested under Wine"
start=$SECONDS
cmake -S win32 -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDADIZ_WERROR=ON >/dev/null
cmake --build build-win32 -j"$(nproc)"
bash win32/run-tests.sh build-win32 build/tools/dadiz-sim
echo "== Windows serial layer: $((SECONDS - start)) s"

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
BUILD_DIR=build-asan bash scripts/build.sh -DDADIZ_SANITIZE=ON -DDADIZ_BENCH=OFF -DDADIZ_WERROR=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j2
skipped build-asan

echo "== fuzz every input for a bounded time"
bash scripts/fuzz.sh 20
