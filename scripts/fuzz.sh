#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20);
# with --build-only, builds them and stops.
#   scripts/fuzz.sh [SECONDS | --build-only]
# Each target starts from its committed seeds (fuzz/corpus/<target>) and keeps
# what it learns in the build folder, never in the seeds. A crash, a broken
# promise, a leak or an input slower than 10 s fails the run; the input that
# caused it is kept under <build>/fuzz-artifacts/<target>/.
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_TARGETS (names, default all),
# FUZZ_JOBS (targets run at once, default one per core).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
build_only=false
if [ "$seconds" = --build-only ]; then
  build_only=true
elif ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS | --build-only]" >&2
  exit 2
fi
build=${FUZZ_BUILD_DIR:-build-fuzz}

# clang and its runtime libraries (libFuzzer, sanitizers), only when missing.
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "fuzz: missing packages: ${missing[*]}; install them as root (sudo apt-get install ${missing[*]})." >&2
    exit 1
  fi
  echo "fuzz: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DDADIZ_FUZZ=ON -DDADIZ_TESTS=OFF -DDADIZ_BENCH=OFF -DDADIZ_RENDER=OFF -DDADIZ_PACKAGE=OFF >/dev/null
# The build's output is shown only when it fails, so that a run says why.
if ! cmake --build "$build" --target fuzz_all -j2 >"$build/fuzz-build.log" 2>&1; then
  tail -n 60 "$build/fuzz-build.log" >&2
  echo "fuzz: the fuzz targets did not build (the whole output is in $build/fuzz-build.log)" >&2
  exit 1
fi
if $build_only; then
  echo "fuzz: the fuzz targets are built in $build"
  exit 0
fi

# The file targets rewrite a scratch file per input: keep it in memory when possible.
scratch=/dev/shm
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=${TMPDIR:-/tmp}

targets=${FUZZ_TARGETS:-$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')}
jobs=${FUZZ_JOBS:-$(nproc)}
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz: FUZZ_JOBS must be a positive number" >&2
  exit 2
fi

# One target for the bounded time; its exit status is its verdict.
run_target() {
  local t=$1
  local work="$build/fuzz-corpus/$t" artifacts="$build/fuzz-artifacts/$t" log="$build/fuzz-logs/$t.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  # The mask target links Qt, which must not look for a display.
  TMPDIR="$scratch" QT_QPA_PLATFORM=offscreen "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$t" >"$log" 2>&1
}

# Targets run side by side, FUZZ_JOBS at a time (default: one per core);
# the table follows in the targets' order once all have ended.
declare -A pids
running=0
for t in $targets; do
  if ((running >= jobs)); then
    wait -n || true
    running=$((running - 1))
  fi
  run_target "$t" &
  pids[$t]=$!
  running=$((running + 1))
done

failed=()
printf '%-24s %12s %8s %8s %8s  %s\n' target executions cov ft corpus result
for t in $targets; do
  log="$build/fuzz-logs/$t.log"
  result=ok
  if ! wait "${pids[$t]}"; then
    result="FAILED (see $log)"
    failed+=("$t")
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | grep -E 'cov: ' | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
  printf '%-24s %12s %8s %8s %8s  %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$result"
done

total=$(wc -w <<<"$targets")
echo "fuzz: $((total - ${#failed[@]})) passed, ${#failed[@]} failed"
if ((${#failed[@]})); then
  echo "fuzz: failed targets: ${failed[*]}" >&2
  exit 1
fi
