#!/usr/bin/env bash
# Configures and builds the native Linux tree (tests included) in build/.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
ensure_packages "${NATIVE_PACKAGES[@]}"
build=${ONDU_BUILD:-$ONDU_ROOT/build}
cmake -S "$ONDU_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$JOBS"
