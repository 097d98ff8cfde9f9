#!/usr/bin/env bash
# Backup benchmark: the installer's archive writer against `zip -r -6` on the same generated tree.
#
#   bench/backup_bench.sh [--runs N] [--work DIR]
#
# --work keeps the generated trees between invocations (default: a fresh temporary folder,
# removed at the end). Exit code 1 when a limit is exceeded, 3 when a contender fails.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

runs=5
work=""
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift ;;
    --work) work=$2; shift ;;
    *) echo "usage: $0 [--runs N] [--work DIR]" >&2; exit 2 ;;
  esac
  shift
done

ensure_packages "${NATIVE_PACKAGES[@]}" zip python3
native=${ONDU_BENCH_BUILD:-$ONDU_ROOT/build-release}
log "native Release build in $native"
cmake -S "$ONDU_ROOT" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DONDU_BENCH=ON -DONDU_TESTS=OFF >/dev/null
cmake --build "$native" -j"$JOBS" --target ondu_bench_payload ondu_backup_bench

if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/ondu-backup-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)
python3 "$ONDU_ROOT/bench/backup_bench.py" --build "$native" --work "$work" --runs "$runs"
