#!/usr/bin/env bash
# The main job for now: builds the tools and runs the package tool on the sample folder
# (create, list, verify, extract, compare).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bash "$ONDU_ROOT/scripts/build-native.sh" >/dev/null
pack="${ONDU_BUILD:-$ONDU_ROOT/build}/tools/ondu-pack"
work=$(mktemp -d "${TMPDIR:-/tmp}/ondu-main.XXXXXX")
trap 'rm -rf "$work"' EXIT

log "create"
"$pack" create "$work/demo.ipk" "$ONDU_ROOT/samples/pack-demo" --level 4
log "list"
"$pack" list "$work/demo.ipk"
log "verify"
"$pack" verify "$work/demo.ipk"
log "extract and compare"
"$pack" extract "$work/demo.ipk" "$work/out"
diff -r "$ONDU_ROOT/samples/pack-demo" "$work/out" && echo "extracted tree matches the sample folder byte for byte"
