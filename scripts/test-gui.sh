#!/usr/bin/env bash
# End-to-end: the interactive installer in real windows under Xvfb, driven by xdotool, on
# Linux natively and (with a Windows build) under wine. Screenshots of every page, light and
# dark, are kept in <build>/screenshots.
#   scripts/test-gui.sh            both systems (the builds must exist)
#   scripts/test-gui.sh native     Linux only
set -euo pipefail
source "$(dirname "$0")/lib.sh"
ensure_packages xvfb xdotool x11-utils imagemagick python3
which=${1:-all}
native_build=${ONDU_BUILD:-$ONDU_ROOT/build}
win_build=${ONDU_WIN_BUILD:-$ONDU_ROOT/build-win}
e2e="$ONDU_ROOT/tests/e2e/wizard_e2e.py"

if [ "$which" = all ] || [ "$which" = native ]; then
  log "wizard end to end: Linux"
  shots="$native_build/screenshots"
  rm -rf "$shots" "$native_build/e2e"
  for scheme in light dark; do
    rounds=0
    [ "$scheme" = dark ] && rounds=${ONDU_CLOSE_ROUNDS:-20}
    bash "$ONDU_ROOT/scripts/with-display.sh" python3 "$e2e" --installer "$native_build/app/ondu-setup" \
      --system linux --scheme "$scheme" --shots "$shots" --work "$native_build/e2e" --close-rounds "$rounds" \
      --close-window 0.6
  done
fi

if [ "$which" = all ] || [ "$which" = windows ]; then
  log "wizard end to end: Windows build under wine"
  source "$ONDU_ROOT/scripts/wine-env.sh"
  shots="$win_build/screenshots"
  rm -rf "$shots" "$win_build/e2e"
  (
    # A prefix of its own: the test program's runs leave registry entries and folders behind.
    ondu_wine_env "$win_build/wine-gui"
    for scheme in light dark; do
      rounds=0
      [ "$scheme" = dark ] && rounds=${ONDU_WINE_CLOSE_ROUNDS:-20}
      bash "$ONDU_ROOT/scripts/with-display.sh" python3 "$e2e" --installer "$win_build/app/ondu-setup.exe" \
        --wine wine --system windows --scheme "$scheme" --shots "$shots" --work "$win_build/e2e" \
        --program-files "drive_c/Program Files" --close-rounds "$rounds" --close-window 1.5
      wineserver -w
    done
  )
fi
