#!/usr/bin/env bash
# Builds the test program with ThreadSanitizer in build-tsan/ and runs the tests that use
# threads; any data-race or deadlock report fails the run.
# Usage: scripts/test-tsan.sh [gtest filter]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
ensure_packages "${NATIVE_PACKAGES[@]}"

# The suites whose code runs on more than one thread.
filter=${1:-'Messaging*:ProcessMailbox*:SpawnService*:SetupObject*:SetupThread*:Extract*:CloseApplications*'}
build=${ONDU_TSAN_BUILD:-$ONDU_ROOT/build-tsan}
log "ThreadSanitizer build in $build"
cmake -S "$ONDU_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1 -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j"$JOBS" --target ondu_tests

log "tests under ThreadSanitizer: $filter"
# ThreadSanitizer's shadow memory does not fit beside a fully randomised address space on
# newer kernels; setarch -R runs the program without address randomisation.
runner=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  runner=(setarch "$(uname -m)" -R)
fi
TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  "${runner[@]}" "$build/tests/ondu_tests" --gtest_filter="$filter"
