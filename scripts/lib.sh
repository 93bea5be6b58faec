# Shared by the scripts: the repository root, and an isolated Wine environment for one run.
VP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Prepares $VP_WINE_DIR with a ja_JP.UTF-8 locale, a home and a prefix, and exports the
# environment that keeps Wine inside it. Call vp_wine_stop when done.
vp_wine_setup() {
  VP_WINE_DIR=$(mktemp -d /tmp/velkinpatch-wine.XXXXXX)
  mkdir -p "$VP_WINE_DIR/locale" "$VP_WINE_DIR/home"
  localedef -i ja_JP -f UTF-8 "$VP_WINE_DIR/locale/ja_JP.UTF-8" 2>/dev/null || true
  export WINEPREFIX="$VP_WINE_DIR/prefix" HOME="$VP_WINE_DIR/home" WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  vp_wine wineboot -i >/dev/null 2>&1
  vp_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Programs started later bring up the desktop with the display they are given.
  /usr/lib/wine/wineserver -w
}

# Runs a 64-bit Windows program in the prepared environment, under code page 932.
vp_wine() {
  env LOCPATH="$VP_WINE_DIR/locale" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 /usr/lib/wine/wine64 "$@"
}

vp_wine_stop() {
  [[ -n ${WINEPREFIX:-} ]] && /usr/lib/wine/wineserver -k 2>/dev/null || true
  [[ -n ${VP_WINE_DIR:-} ]] && rm -rf "$VP_WINE_DIR"
}

# A display number that no X server uses.
vp_free_display() {
  local n
  for n in $(seq 90 199); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || { echo "$n"; return; }
  done
  return 1
}
