#!/usr/bin/env bash
# Cross-compiles the whole product for Windows with mingw-w64 (static, so
# clasupd.exe runs on a bare Windows) and runs the unit tests under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export WINEDEBUG=-all
export WINEPREFIX="$root/build-win/wineprefix"
mkdir -p "$WINEPREFIX"
scripts/build.sh build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_BENCH=OFF || exit 1
# The first start of Wine creates its prefix; do it once before the tests.
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
ctest --test-dir build-win --output-on-failure --timeout 900
