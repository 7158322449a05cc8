# Sourced by scripts that run Windows binaries: a fresh Wine prefix per run and a
# wineserver started detached (a wineserver started inside ctest would hold each
# test's output open for seconds, or hang the run).
wine_start() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/strivo-wine.XXXXXX")
  export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
  wineserver -p </dev/null >/dev/null 2>&1
  wineboot -i </dev/null >/dev/null 2>&1 || true
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${WINEPREFIX:-}" ] && rm -rf "$WINEPREFIX"
}
