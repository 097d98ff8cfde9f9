#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server on a free display number, and
# stops the server afterwards; the command's exit code is returned. Programs sharing one
# display see each other's windows: run window tests under it one at a time.
#   scripts/with-display.sh build/tests/ondu_tests --gtest_filter='X11Host*'
set -euo pipefail
source "$(dirname "$0")/lib.sh"
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
ensure_packages xvfb xdotool x11-utils

number_file=$(mktemp)
# -displayfd: the server picks a free number itself and writes it once it accepts clients.
# -noreset: the last client leaving must not reset the server between test programs.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" >/dev/null 2>&1 &
xvfb=$!
stop() {
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -f "$number_file"
}
trap stop EXIT
for _ in $(seq 1 100); do
  [ -s "$number_file" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
number=$(tr -dc '0-9' <"$number_file")
[ -n "$number" ] || { echo "Xvfb did not report its display" >&2; exit 1; }
export DISPLAY=":$number"
set +e
"$@"
code=$?
set -e
exit "$code"
