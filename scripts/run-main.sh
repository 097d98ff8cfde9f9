#!/usr/bin/env bash
# The main job: builds the sample ONDU installer and runs it silently against a throw-away
# sandbox (machine-wide places under KVL_SYSTEM_ROOT, a private HOME), then removes the
# installation with its own uninstaller, printing what each step did.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bash "$ONDU_ROOT/scripts/build-native.sh" >/dev/null
build=${ONDU_BUILD:-$ONDU_ROOT/build}
installer="$build/app/ondu-setup"
pack="$build/tools/ondu-pack"

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/ondu-main.XXXXXX")
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/root" "$sandbox/home" "$sandbox/tmp" "$sandbox/logs"
export KVL_SYSTEM_ROOT="$sandbox/root" HOME="$sandbox/home" TMPDIR="$sandbox/tmp"
export ONDU_STANDIN_LOG_DIR="$sandbox/logs"
dest="$sandbox/root/opt/ONDU/"

log "install: $(basename "$installer") /AUTO=$dest /SILENT"
set +e
"$installer" "/AUTO=$dest" /SILENT
code=$?
set -e
echo "exit code $code"
[ "$code" -eq 0 ] || exit 1
log "installed files"
(cd "$dest" && find . -type f | sort | sed 's|^\./||')
log "Uninstall.ini inside Uninstall.dat"
"$pack" extract "${dest}Uninstall.dat" "$sandbox/dat" >/dev/null
iconv -f UTF-16 -t UTF-8 "$sandbox/dat/Uninstall.ini" | tr -d '\r'
log "registry entry (stand-in at \$KVL_SYSTEM_ROOT/var/lib/kvl/registry.txt)"
grep -A12 'Uninstall\\ONDU\]' "$KVL_SYSTEM_ROOT/var/lib/kvl/registry.txt" || true
log "the player's registration by Elevator.exe (keys of the stand-in)"
# Keys only, without their verb and icon subkeys.
keys=$(grep -i '^\[.*ondu' "$KVL_SYSTEM_ROOT/var/lib/kvl/registry.txt" | grep -v 'Uninstall\\ONDU\]' || true)
if [ -n "$keys" ]; then
  grep -v -E '\\(shell|DefaultIcon|InstallInfo|SupportedTypes)' <<<"$keys"
  echo "($(wc -l <<<"$keys") keys with their subkeys)"
else
  echo "(none)"
fi
log "shortcuts and launchers"
(cd "$sandbox" && find home root/usr -name '*.desktop' | sort)
log "programs the installer started"
cat "$sandbox"/logs/*.log 2>/dev/null | cut -f2- | tr -d '\r' | sed "s|$sandbox/||" || echo "(none)"

log "remove: ${dest}Uninstall.exe /AUTO /SILENT"
"${dest}Uninstall.exe" /AUTO /SILENT
# The uninstaller hands the work to its copy in the temporary folder and ends; wait for it.
for _ in $(seq 1 300); do
  [ -e "${dest}Uninstall.exe" ] || [ -e "${dest}Uninstall.dat" ] || break
  sleep 0.1
done
sleep 0.5
log "left in the sandbox after removal"
(cd "$sandbox/root" && find . -mindepth 1 | sort | sed 's|^\./||')
log "programs the removal started"
cat "$sandbox"/logs/*.log 2>/dev/null | cut -f2- | tr -d '\r' | sed "s|$sandbox/||" | tail -n +2
log "deletions pending for the next restart"
cat "$KVL_SYSTEM_ROOT/var/lib/kvl/pending-deletions" 2>/dev/null || echo "(none)"
