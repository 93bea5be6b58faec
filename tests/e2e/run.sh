#!/usr/bin/env bash
# Runs the end-to-end tests under Wine and Xvfb: tests/e2e/run.sh [pytest arguments]
# Needs the win64 build (cmake --preset win64 && cmake --build --preset win64) and the packages
# g++-mingw-w64-x86-64 wine wine64 xvfb imagemagick fonts-ipafont-gothic python3-pytest locales.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
export VP_E2E_BUILD="${VP_E2E_BUILD:-$root/build/win64}"
export VP_E2E_HELPERS="${VP_E2E_HELPERS:-$VP_E2E_BUILD/tests/e2e}"

problems=()
for exe in uidriver.exe mklink.exe fixture_app.exe; do
  [[ -f "$VP_E2E_HELPERS/$exe" ]] || problems+=("missing $VP_E2E_HELPERS/$exe (build the win64 preset)")
done
for tool in /usr/lib/wine/wine64 /usr/lib/wine/wineserver /usr/bin/python3; do
  [[ -x "$tool" ]] || problems+=("missing $tool")
done
for tool in Xvfb import localedef cp timeout; do
  command -v "$tool" >/dev/null || problems+=("missing $tool")
done
/usr/bin/python3 -c 'import pytest' 2>/dev/null || problems+=("missing Debian's python3-pytest")
[[ -d /usr/share/i18n/locales ]] && [[ -f /usr/share/i18n/locales/ja_JP ]] || problems+=("missing locale sources (package locales)")
if ((${#problems[@]})); then
  printf 'e2e: %s\n' "${problems[@]}" >&2
  exit 2
fi

# Nothing of the run may land in the work tree: no bytecode, no pytest cache.
export PYTHONDONTWRITEBYTECODE=1
export VP_E2E_TEST_TIMEOUT="${VP_E2E_TEST_TIMEOUT:-120}"
cd "$root"
exec timeout -k 30 "${VP_E2E_RUN_TIMEOUT:-3600}" \
  /usr/bin/python3 -m pytest -p no:cacheprovider --rootdir "$here" "$here" "$@"
