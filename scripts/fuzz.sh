#!/usr/bin/env bash
# Builds the fuzz targets (tools/fuzz) with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for SECONDS (default 60), one after the other
# on one core. Each starts from its corpus in fuzz/corpus/<target>, so an input that once
# crashed stays tried; what a run learns goes to the build folder, crashes to its
# findings/ folder, and the first crash stops the script with a failure.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# ZELVORIN_FUZZ_BUILD names the build folder (default build-fuzz); with ZELVORIN_FUZZ_SKIP=77
# a machine without clang exits with that code instead of installing it.
set -euo pipefail
seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZELVORIN_FUZZ_BUILD:-$root/build-fuzz}
if ! command -v clang++ >/dev/null; then
  [ -n "${ZELVORIN_FUZZ_SKIP:-}" ] && { echo "clang++ is not installed"; exit "$ZELVORIN_FUZZ_SKIP"; }
  bash "$root/scripts/setup.sh"
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/tools/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZELVORIN_SANITIZE=ON -DZELVORIN_FUZZ=ON -DZELVORIN_TESTS=OFF -DZELVORIN_BENCH=OFF >/dev/null
ninja -C "$build" -j1 "${targets[@]}"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$build/findings"
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$root/fuzz/corpus/$t"
  echo "== $t: $seconds s"
  rc=0
  "$build/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$t-" "$build/corpus/$t" "$root/fuzz/corpus/$t" \
    >"$build/$t.log" 2>&1 || rc=$?
  grep -E "^(stat::|#[0-9]+ +DONE|SUMMARY)" "$build/$t.log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$build/$t.log"
    echo "$t found a fault (exit $rc): see $build/findings"
    exit 1
  fi
done
