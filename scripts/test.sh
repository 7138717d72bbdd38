#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite:
#   1. the normal build, every test through CTest;
#   2. the sanitizer build (address + undefined behaviour), every test again;
#   3. each benchmark once at a tiny size, so they keep building and running;
#   4. each fuzz target for a bounded time (FUZZ_SECONDS, default 20);
#   5. with WINDOWS=1, the Windows build and its tests under Wine
#      (scripts/test-windows.sh).
# Set QUICK=1 to run only step 1.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
jobs=$(nproc)
status=0

step() { echo; echo "=== $*"; }

step "build"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
step "tests"
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 600 || status=1

if [ "${QUICK:-0}" != "1" ]; then
  step "sanitizer build"
  scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKOR_SANITIZE=ON -DKOR_BENCH=OFF || exit 1
  step "tests under the sanitizers"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j"$jobs" --output-on-failure --timeout 900 || status=1

  step "benchmarks, once at a tiny size"
  for b in $(find build -type f -executable -name '*_bench' | sort); do
    echo "--- $b"
    KOR_BENCH_SIZE=tiny "$b" --benchmark_min_time=0.001 >/dev/null || { echo "benchmark failed: $b"; status=1; }
  done

  step "fuzz targets"
  CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_FUZZ=ON -DKOR_SANITIZE=ON \
    -DKOR_TESTS=OFF -DKOR_BENCH=OFF || exit 1
  for f in $(find build-fuzz -type f -executable -name '*_fuzz' | sort); do
    name=$(basename "$f")
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds=$(find "$root" -path "*/fuzz/seeds/$name" -type d | head -1)
    echo "--- $name"
    "$f" -max_total_time="${FUZZ_SECONDS:-20}" -timeout=10 -rss_limit_mb=2048 "$corpus" ${seeds:+"$seeds"} \
      >"build-fuzz/$name.log" 2>&1 || { tail -40 "build-fuzz/$name.log"; status=1; }
  done
fi

if [ "${WINDOWS:-0}" = "1" ]; then
  step "Windows build, tests under Wine"
  scripts/test-windows.sh || status=1
fi

echo
if [ $status -eq 0 ]; then echo "=== all tests passed"; else echo "=== FAILURES (see above)"; fi
exit $status
