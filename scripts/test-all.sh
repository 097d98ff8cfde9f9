#!/usr/bin/env bash
# The whole test suite: native Linux tests, the threaded tests under ThreadSanitizer, the
# Windows x64 leg under wine, and a short fuzzing smoke of every libFuzzer target.
# Installs what it needs.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

log "native build"
bash "$ONDU_ROOT/scripts/build-native.sh"
log "native tests"
native_log=$(mktemp)
# Without a display here: tests that show windows share the desktop and would meet each
# other's windows when ctest runs them side by side; they run below, one at a time.
(cd "${ONDU_BUILD:-$ONDU_ROOT/build}" && env -u DISPLAY ctest --output-on-failure -j"$JOBS" --timeout 600) | tee "$native_log"
native=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$native_log" | tail -1)
log "native window tests on a private X display"
bash "$ONDU_ROOT/scripts/with-display.sh" "${ONDU_BUILD:-$ONDU_ROOT/build}/tests/ondu_tests" \
  --gtest_filter="$DISPLAY_TEST_FILTER"

bash "$ONDU_ROOT/scripts/test-tsan.sh"

bash "$ONDU_ROOT/scripts/test-windows.sh"
win_log=${ONDU_WIN_BUILD:-$ONDU_ROOT/build-win}/wine-tests.log
windows=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$win_log" | tail -1)
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$win_log" | tail -1)

bash "$ONDU_ROOT/scripts/fuzz.sh" "${ONDU_FUZZ_SECONDS:-15}"

printf '\nnative: %s tests, windows under wine: %s tests\n' "${native:-0}" "${windows:-0}"
echo "tests: $(( ${native:-0} + ${windows:-0} )) passed, 0 failed, ${skipped:-0} skipped"
