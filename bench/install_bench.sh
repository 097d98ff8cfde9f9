#!/usr/bin/env bash
# Installation and removal benchmarks: builds what they need (Release), generates the payloads
# and compares the installer with plain tools (Linux) or with an NSIS installer (under wine).
#
#   bench/install_bench.sh [--windows | --wizard] [--runs N] [--work DIR]
#
# Without --windows: the Linux leg (xz | tar, rm -rf). With --windows: the Windows x64 leg under
# wine against NSIS. With --wizard: /AUTO with the wizard on a private Xvfb display against
# /AUTO /SILENT. --work keeps the payloads and reference archives between invocations
# (default: a fresh temporary folder, removed at the end). Exit code 1 when a limit is exceeded.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

leg=linux
runs=5
work=""
while [ $# -gt 0 ]; do
  case $1 in
    --windows) leg=windows ;;
    --wizard) leg=wizard ;;
    --runs) runs=$2; shift ;;
    --work) work=$2; shift ;;
    *) echo "usage: $0 [--windows | --wizard] [--runs N] [--work DIR]" >&2; exit 2 ;;
  esac
  shift
done

ensure_packages "${NATIVE_PACKAGES[@]}" xz-utils tar
native=${ONDU_BENCH_BUILD:-$ONDU_ROOT/build-release}
log "native Release build in $native"
cmake -S "$ONDU_ROOT" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DONDU_BENCH=ON -DONDU_TESTS=OFF >/dev/null
cmake --build "$native" -j"$JOBS" --target ondu_bench_payload ondu-setup-bare ondu-build-installer ondu_sample

if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/ondu-install-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)

if [ "$leg" = wizard ]; then
  bash "$ONDU_ROOT/scripts/with-display.sh" \
    python3 "$ONDU_ROOT/bench/install_bench.py" wizard --build "$native" --work "$work" --runs "$runs"
  exit
fi
if [ "$leg" = linux ]; then
  python3 "$ONDU_ROOT/bench/install_bench.py" linux --build "$native" --work "$work" --runs "$runs"
  exit
fi

ensure_packages "${WINDOWS_PACKAGES[@]}" nsis
# The same configuration as scripts/test-windows.sh, so that both share one build folder.
deps=$(bash "$ONDU_ROOT/scripts/win-deps.sh")
win=${ONDU_WIN_BUILD:-$ONDU_ROOT/build-win}
log "Windows x64 build in $win"
cmake -S "$ONDU_ROOT" -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ONDU_ROOT/cmake/mingw-w64-x86_64.cmake" -DONDU_WIN_DEPS="$deps" >/dev/null
cmake --build "$win" -j"$JOBS" --target ondu-setup-bare ondu-build-installer ondu_sample
(
  source "$ONDU_ROOT/scripts/wine-env.sh"
  ondu_wine_env "$work/wine"
  python3 "$ONDU_ROOT/bench/install_bench.py" windows --build "$win" --native-build "$native" --work "$work" \
    --runs "$runs"
)
