# Shared shell helpers of the build scripts: package installation and paths.

ONDU_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ONDU_CACHE=${ONDU_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ondu}
JOBS=${JOBS:-2}

# A compiler cache, when this machine has one, shares objects between build trees.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$ONDU_ROOT")}
fi

log() { printf '\n=== %s\n' "$*" >&2; }

# Installs the Debian packages that are not installed yet (apt-get update once, first).
ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if [ -z "${ONDU_APT_UPDATED:-}" ]; then
    $sudo apt-get update -qq
    export ONDU_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

NATIVE_PACKAGES=(g++ cmake ninja-build pkg-config liblzma-dev libexpat1-dev libzip-dev zlib1g-dev libssl-dev libgtest-dev
                 googletest python3 libcairo2-dev libpango1.0-dev libx11-dev fonts-dejavu-core)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
                  wine wine64 fonts-wine dpkg-dev cmake ninja-build make googletest python3)
