#!/usr/bin/env bash
# Puts real shortcuts into the Programs folders of a fresh Wine prefix, finds and resolves them
# through locator_probe.exe and compares every outcome with the one that the in-memory shell
# of the unit tests gives for the same files.
# Usage: locator_probe.sh path/to/locator_probe.exe. Non-zero on any difference.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../../scripts/lib.sh"

trap vp_wine_stop EXIT
vp_wine_setup
work=$VP_WINE_DIR/probe
mkdir -p "$work"

probe() { vp_wine "$exe" "$@"; }
probe make user 'VelkinProbe\OnlyUser.lnk' 'C:\Games\OnlyUser\user.exe'
probe make common 'VelkinProbe\OnlyCommon.lnk' 'C:\Games\OnlyCommon\common.exe'
probe make user 'VelkinProbe\Both.lnk' 'C:\Games\Both\user.exe'
probe make common 'VelkinProbe\Both.lnk' 'C:\Games\Both\common.exe'
probe plain user 'VelkinProbe\Plain.lnk'
probe make user 'VelkinProbe\NoTarget.lnk' ''
probe make common 'VelkinProbe\ソフト\ソフト.lnk' 'C:\Games\ソフト\so.exe'

# The expectations are written in UTF-8 and compared as the code page 932 bytes the probe prints.
iconv -f UTF-8 -t CP932 >"$work/expected.txt" <<'EXPECTED'
find [VelkinProbe\OnlyUser.lnk] => true 0x000 <P1>\VelkinProbe\OnlyUser.lnk; resolve => true C:\Games\OnlyUser\user.exe
find [VelkinProbe\OnlyCommon.lnk] => true 0x100 <P2>\VelkinProbe\OnlyCommon.lnk; resolve => true C:\Games\OnlyCommon\common.exe
find [VelkinProbe\Both.lnk] => true 0x000 <P1>\VelkinProbe\Both.lnk; resolve => true C:\Games\Both\user.exe
find [VelkinProbe\Nowhere.lnk] => false 0x300 -
find [VelkinProbe\Plain.lnk] => true 0x000 <P1>\VelkinProbe\Plain.lnk; resolve => false -
find [VelkinProbe\NoTarget.lnk] => true 0x000 <P1>\VelkinProbe\NoTarget.lnk; resolve => false -
find [\VelkinProbe\OnlyUser.lnk] => true 0x000 <P1>\VelkinProbe\OnlyUser.lnk; resolve => true C:\Games\OnlyUser\user.exe
find [] => false 0x300 -
find [VelkinProbe] => false 0x300 -
find [VelkinProbe\ソフト\ソフト.lnk] => true 0x100 <P2>\VelkinProbe\ソフト\ソフト.lnk; resolve => true C:\Games\ソフト\so.exe
EXPECTED

probe find 'VelkinProbe\OnlyUser.lnk' 'VelkinProbe\OnlyCommon.lnk' 'VelkinProbe\Both.lnk' \
  'VelkinProbe\Nowhere.lnk' 'VelkinProbe\Plain.lnk' 'VelkinProbe\NoTarget.lnk' \
  '\VelkinProbe\OnlyUser.lnk' '' 'VelkinProbe' \
  'VelkinProbe\ソフト\ソフト.lnk' | tr -d '\r' >"$work/actual.txt"
if ! diff -u "$work/expected.txt" "$work/actual.txt"; then
  echo "locator probe: the real shell and the in-memory one disagree" >&2
  exit 1
fi
echo "locator probe: $(wc -l <"$work/expected.txt") link paths agree"
