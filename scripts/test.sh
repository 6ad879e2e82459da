#!/usr/bin/env bash
# Installs what is missing, builds DADiz and runs every test: once in a plain
# build (whose Debian package is then made and checked), then the Windows
# build of the serial layer under Wine, once built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and every fuzz target for 20 s. A compiler
# warning fails any build.
# Two lanes run side by side, so that both cores stay busy while a lane
# waits on tests: the plain build, its tests, the package, the Windows layer
# and the fuzzing in one; the sanitizer build (at a lower priority) and its
# tests in the other, whose output follows the first lane's. The fuzzers run
# beside the sanitizer tests. Each phase prints its time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
start=$SECONDS

# Each phase's CPU seconds (user and system, of the processes it ran) are
# shown beside its wall time, which a shared machine stretches. `times` must
# run in the lane's own shell (a subshell's count starts at zero), and each
# lane keeps its count in a file of its own.
cpu_dir=$(mktemp -d "${TMPDIR:-/tmp}/dadiz-cpu.XXXXXX")
cpu_total() {
  awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.1f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$1"
}
phase() {
  local name=$1 begun=$SECONDS count=$cpu_dir/$BASHPID from
  shift
  times >"$count"
  from=$(cpu_total "$count")
  echo "== $name"
  "$@"
  times >"$count"
  echo "== $name: $((SECONDS - begun)) s, $(awk -v a="$from" -v b="$(cpu_total "$count")" 'BEGIN { printf "%.0f", b - a }') CPU s"
}

# Line tables are all the debug information a run here reads (the package is
# stripped); full debug information would cost a quarter more compile time.
plain_build() {
  BUILD_DIR=build bash scripts/build.sh -DDADIZ_WERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
}
# Cases a test program skipped (for a privilege or a locale this machine
# lacks) are named, so that the log shows what did not run.
skipped() {
  echo "== cases skipped in $1"
  grep -hE -A1 '^SKIP   :|: Skipped$' "$1/Testing/Temporary/LastTest.log" | grep -v '^--$' || echo "none"
}
# The tests mostly wait on their lines and children: twice as many as there
# are cores run side by side, the longest first (their COST).
test_jobs=$((2 * $(nproc)))
plain_tests() { ctest --test-dir build --output-on-failure -j"$test_jobs" && skipped build; }
package() { bash scripts/package.sh && bash tests/package/test_package.sh; }
windows() {
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S win32 -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DDADIZ_WERROR=ON "${launcher[@]}" >/dev/null
  cmake --build build-win32 -j"$(nproc)"
  bash win32/run-tests.sh build-win32 build/tools/dadiz-sim
}
# The sanitizer build holds the libraries and their tests, not the benchmarks,
# dadiz-render or the package's files. -Og compiles in 40 % less time than
# -O1; the tests wait on their lines far more than they compute.
sanitizer_build() {
  BUILD_DIR=build-asan nice -n 10 bash scripts/build.sh -DDADIZ_SANITIZE=ON -DDADIZ_WERROR=ON \
    -DDADIZ_BENCH=OFF -DDADIZ_RENDER=OFF -DDADIZ_PACKAGE=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-Og -g1 -DNDEBUG"
}
sanitizer_tests() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j"$test_jobs" \
    && skipped build-asan
}

sanitizer_log=$(mktemp "${TMPDIR:-/tmp}/dadiz-sanitizer.XXXXXX")
sanitizer_built=$cpu_dir/sanitizer-built
(
  phase "build with AddressSanitizer and UndefinedBehaviorSanitizer" sanitizer_build
  touch "$sanitizer_built"
  phase "test with AddressSanitizer and UndefinedBehaviorSanitizer" sanitizer_tests
) >"$sanitizer_log" 2>&1 &
sanitizer_lane=$!
# The fuzzers run once the sanitizer build has ended (or its lane has),
# beside its tests, which mostly wait: at a lower priority, so that the tests
# keep their pace.
sanitizer_build_ended() {
  while [ ! -e "$sanitizer_built" ] && kill -0 "$sanitizer_lane" 2>/dev/null; do
    sleep 1
  done
}
# Whatever the first lane does, the second is waited for and shown.
finish() {
  local status=$?
  trap - EXIT
  local sanitizer_status=0
  wait "$sanitizer_lane" || sanitizer_status=$?
  echo "== the sanitizer lane's output"
  cat "$sanitizer_log"
  rm -rf "$sanitizer_log" "$cpu_dir"
  if [ "$sanitizer_status" -ne 0 ]; then
    echo "== the sanitizer lane failed"
    [ "$status" -ne 0 ] || status=$sanitizer_status
  fi
  echo "== all: $((SECONDS - start)) s"
  exit "$status"
}
trap finish EXIT

# The first lane runs in a subshell of its own too: this shell counts the
# second lane's CPU seconds as its children's once that lane has ended, which
# would add them to whichever phase of the first lane was running.
(
  phase "build" plain_build
  phase "test" plain_tests
  phase "Debian package from the plain build, unpacked and checked" package
  phase "Windows serial layer: built with mingw-w64, tested under Wine" windows
  phase "build the fuzz targets" bash scripts/fuzz.sh --build-only
  phase "wait for the sanitizer build" sanitizer_build_ended
  phase "fuzz every input for a bounded time" nice -n 10 bash scripts/fuzz.sh 20
)
