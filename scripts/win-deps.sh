#!/usr/bin/env bash
# Builds the static Windows x64 libraries (liblzma, zlib, libzip, expat) from Debian's
# source packages into a cache folder outside the repo, once; prints the prefix.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_packages "${WINDOWS_PACKAGES[@]}"

# Debian's source packages need a deb-src entry for bookworm.
if ! apt-cache showsrc xz-utils >/dev/null 2>&1 || [ -z "$(apt-cache showsrc xz-utils 2>/dev/null)" ]; then
  log "adding a deb-src entry for bookworm"
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  uri=${uri:-http://deb.debian.org/debian}
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" | $sudo tee /etc/apt/sources.list.d/ondu-deb-src.sources >/dev/null
  $sudo apt-get update -qq
fi

srcs=(xz-utils zlib libzip expat)
key=$(for s in "${srcs[@]}"; do apt-cache showsrc "$s" | awk '/^Version:/ {print $2; exit}'; done | tr '\n:+~' '_...')
prefix="$ONDU_CACHE/win-deps-${key%_}"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

log "building Windows libraries into $prefix"
work=$(mktemp -d "${TMPDIR:-/tmp}/ondu-win-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
tc="$ONDU_ROOT/cmake/mingw-w64-x86_64.cmake"
rm -rf "$prefix"
mkdir -p "$prefix"
cd "$work"
apt-get source -qq "${srcs[@]}" >/dev/null 2>&1

cmake_common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix"
              -DCMAKE_PREFIX_PATH="$prefix" -DONDU_WIN_DEPS="$prefix" -DBUILD_SHARED_LIBS=OFF)

xz=$(ls -d xz-utils-*/ | head -1)
cmake -S "$xz" -B build/xz "${cmake_common[@]}" >/dev/null
cmake --build build/xz --target liblzma -j"$JOBS" >/dev/null
cmake --install build/xz --component liblzma_Development >/dev/null

zl=$(ls -d zlib-*/ | head -1)
mkdir -p build/zlib
(cd build/zlib && CHOST=x86_64-w64-mingw32 CFLAGS=-O2 "../../$zl/configure" --static --prefix="$prefix" >/dev/null &&
   make -j"$JOBS" libz.a >/dev/null && make install >/dev/null)

lz=$(ls -d libzip-*/ | head -1)
cmake -S "$lz" -B build/libzip "${cmake_common[@]}" \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF \
  -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=ON -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
  -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" >/dev/null
cmake --build build/libzip -j"$JOBS" >/dev/null
cmake --install build/libzip >/dev/null

ex=$(ls -d expat-*/ | head -1)
[ -f "$ex/CMakeLists.txt" ] || ex="$ex/expat"
# Debian's security patches test "XML_DTD == 1", which the CMake template leaves empty.
sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/; s/^#cmakedefine XML_NS$/#cmakedefine XML_NS 1/' \
  "$ex/expat_config.h.cmake"
cmake -S "$ex" -B build/expat "${cmake_common[@]}" -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
  -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF -DEXPAT_SHARED_LIBS=OFF >/dev/null
cmake --build build/expat -j"$JOBS" >/dev/null
cmake --install build/expat >/dev/null

touch "$prefix/.complete"
echo "$prefix"
