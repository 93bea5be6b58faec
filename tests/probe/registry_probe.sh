#!/usr/bin/env bash
# Seeds a fresh Wine registry, reads it back through registry_probe.exe and compares every
# outcome with the one that the in-memory registry of the unit tests gives for the same values.
# Usage: registry_probe.sh path/to/registry_probe.exe. Non-zero on any difference.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../../scripts/lib.sh"

trap vp_wine_stop EXIT
vp_wine_setup
work=$VP_WINE_DIR/probe
mkdir -p "$work"

key='HKCU\Software\VelkinProbe'
seed() { vp_wine reg add "$@" /f >/dev/null 2>&1; }
seed "$key" /v Str /t REG_SZ /d 'C:\Games\Product'
seed "$key" /v Expand /t REG_EXPAND_SZ /d '%ProgramFiles%\Product'
seed "$key" /v Number /t REG_DWORD /d 42
seed "$key" /v Bin /t REG_BINARY /d 0102
seed "$key" /v Empty /t REG_SZ /d ''
seed "$key" /v 'a\b' /t REG_SZ /d quoted
seed "$key\\ソフト" /v Name /t REG_SZ /d so

# One path a line; the last one names the key ソフト in code page 932 (0x83 0x5C 0x83 0x74 0x83 0x67).
{
  cat <<'PATHS'
HKEY_CURRENT_USER\Software\VelkinProbe\Str
hkey_current_user\SOFTWARE\velkinprobe\str
\HKEY_CURRENT_USER\\Software\VelkinProbe\\Str\
HKEY_CURRENT_USER\Software\VelkinProbe\Expand
HKEY_CURRENT_USER\Software\VelkinProbe\Number
HKEY_CURRENT_USER\Software\VelkinProbe\Bin
HKEY_CURRENT_USER\Software\VelkinProbe\Empty
HKEY_CURRENT_USER\Software\VelkinProbe\Missing
HKEY_CURRENT_USER\Software\VelkinProbe\"a\b"
HKEY_CURRENT_USER\Software\NoSuchKey\Str
HKEY_CURRENT_USER\"Software\VelkinProbe"\Str
HKEY_CURRENT_USER\Str
HKEY_PERFORMANCE_DATA\Any\Name
HKLM\Software\Name
HKEY_USERS

PATHS
  printf 'HKEY_CURRENT_USER\\Software\\VelkinProbe\\\x83\x5C\x83\x74\x83\x67\\Name\n'
} >"$work/paths.txt"

# What the in-memory registry gives for the same seed.
cat >"$work/expected.txt" <<'EXPECTED'
HKEY_CURRENT_USER\Software\VelkinProbe\Str => true [C:\Games\Product]
hkey_current_user\SOFTWARE\velkinprobe\str => true [C:\Games\Product]
\HKEY_CURRENT_USER\\Software\VelkinProbe\\Str\ => true [C:\Games\Product]
HKEY_CURRENT_USER\Software\VelkinProbe\Expand => true [%ProgramFiles%\Product]
HKEY_CURRENT_USER\Software\VelkinProbe\Number => raise 'Number' \x82\xCC\x83\x66\x81\x5B\x83\x5E\x8C\x5E\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7
HKEY_CURRENT_USER\Software\VelkinProbe\Bin => raise 'Bin' \x82\xCC\x83\x66\x81\x5B\x83\x5E\x8C\x5E\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7
HKEY_CURRENT_USER\Software\VelkinProbe\Empty => true []
HKEY_CURRENT_USER\Software\VelkinProbe\Missing => true []
HKEY_CURRENT_USER\Software\VelkinProbe\"a\b" => true [quoted]
HKEY_CURRENT_USER\Software\NoSuchKey\Str => false -
HKEY_CURRENT_USER\"Software\VelkinProbe"\Str => true [C:\Games\Product]
HKEY_CURRENT_USER\Str => true []
HKEY_PERFORMANCE_DATA\Any\Name => false -
HKLM\Software\Name => false -
HKEY_USERS => true -
 => true -
HKEY_CURRENT_USER\Software\VelkinProbe\\x83\x5C\x83\x74\x83\x67\Name => true [so]
EXPECTED

vp_wine "$exe" <"$work/paths.txt" | tr -d '\r' >"$work/actual.txt"
if ! diff -u "$work/expected.txt" "$work/actual.txt"; then
  echo "registry probe: the real registry and the in-memory one disagree" >&2
  exit 1
fi
echo "registry probe: $(wc -l <"$work/expected.txt") paths agree"
