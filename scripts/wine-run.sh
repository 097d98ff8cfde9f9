#!/usr/bin/env bash
# Runs a Windows program under wine in the private environment below the folder given first
# (the build uses it to run the Windows installer builder).
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
base=$1
shift
ondu_wine_env "$base"
wine "$@"
status=$?
wineserver -w
exit $status
