#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds-per-target] [target...]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
ensure_packages clang libclang-rt-14-dev "${NATIVE_PACKAGES[@]}"

seconds=${1:-60}
shift || true
build=${ONDU_FUZZ_BUILD:-$ONDU_ROOT/build-fuzz}
cmake -S "$ONDU_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DONDU_FUZZ=ON -DONDU_TESTS=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$ONDU_ROOT"/fuzz/*_fuzz.cpp; do
    [ -e "$src" ] && targets+=("$(basename "$src" .cpp)")
  done
fi
# Only the fuzzers (and the libraries under them): the programs and the sample are not fuzzed.
cmake --build "$build" -j"$JOBS" --target "${targets[@]}"
for t in "${targets[@]}"; do
  log "fuzzing $t for ${seconds}s"
  # The checked-in seeds stay read-only; new inputs go to a scratch corpus.
  work="$build/corpus/$t"
  mkdir -p "$work"
  seeds="$ONDU_ROOT/fuzz/corpus/$t"
  [ -d "$seeds" ] || seeds=""
  "$build/fuzz/$t" -max_total_time="$seconds" -malloc_limit_mb=512 -rss_limit_mb=2048 -timeout=20 -print_final_stats=0 \
    "$work" $seeds 2>&1 | tail -n 3
done
log "fuzzing: ${#targets[@]} targets ran without a finding"
