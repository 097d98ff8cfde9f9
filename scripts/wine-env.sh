# Sourced: a private wine environment (prefix, HOME, TMPDIR) below the given folder,
# created on first use with Debian's wine fonts copied in.
ondu_wine_env() {
  local base=$1
  mkdir -p "$base/home" "$base/tmp"
  export WINEPREFIX="$base/prefix" WINEARCH=win64 HOME="$base/home" TMPDIR="$base/tmp"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # GDI+ text needs real font files (Tahoma at least); prefixes made before fonts-wine came get them now.
  if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/tahoma.ttf" ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
}
