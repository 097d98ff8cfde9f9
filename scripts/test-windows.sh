#!/usr/bin/env bash
# The Windows x64 leg: cross-builds everything with mingw-w64 and runs the tests under wine64.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/wine-env.sh"

deps=$(bash "$ONDU_ROOT/scripts/win-deps.sh")
build=${ONDU_WIN_BUILD:-$ONDU_ROOT/build-win}
log "Windows x64 build in $build"
cmake -S "$ONDU_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ONDU_ROOT/cmake/mingw-w64-x86_64.cmake" -DONDU_WIN_DEPS="$deps" >/dev/null
cmake --build "$build" -j"$JOBS"

log "Windows x64 tests under wine"
(
  ondu_wine_env "$build/wine"
  cd "$build"
  status=0
  # Run the test program itself so that its own summary shows; the log feeds the totals.
  wine tests/ondu_tests.exe 2>&1 | tee "$build/wine-tests.log" || true
  wineserver -w
  grep -q '^\[  PASSED  \]' "$build/wine-tests.log" && ! grep -q '^\[  FAILED  \]' "$build/wine-tests.log" || status=1
  exit $status
)
