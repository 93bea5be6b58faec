#!/usr/bin/env bash
# Packed test stubs under Wine (x86_64): the program finds every package resource with
# FindResourceA and SizeofResource, and writes it out from its image byte for byte; the
# stub's own resources are still there. Covers an appended section, a replaced last section,
# a stub with a COFF symbol table, a rebuilt patch and a payload of a few megabytes.
# With WINDOWS_PACKER (velkinpack.exe for x86_64), that packer runs under Wine as well and must
# make the same patch, byte for byte, as the native one.
# Usage: wine_test.sh VELKINPACK STUB_DIR [WINDOWS_PACKER]
set -euo pipefail
packer=$(realpath "$1")
stubs=$2
windows_packer=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "SKIP: no $wine"; exit 77; }
[ -f "$stubs/probe64.exe" ] || { echo "SKIP: no test stubs in $stubs"; exit 77; }

work=$(mktemp -d /tmp/velkinpack-wine.XXXXXX)
export WINEPREFIX=$work/prefix HOME=$work/home WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$HOME"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

python3 "$here/make_source.py" src
# Items 0, 2, 3 and 4 have payloads; item 1 is empty, and 4 is a file of no bytes.
run() {
  local exe=$1 label=$2 first=${3:-src/sov_patch.xp3}
  rm -rf dump && mkdir dump
  "$wine" "$exe" "$(winepath_of dump)" 6 > run.txt 2> wine-stderr.txt || { cat run.txt wine-stderr.txt; fail "$label: the program did not run"; }
  tr -d '\r' < run.txt > out.txt
  local expected
  expected=$(printf '%s\n' \
    "RESOURCE_BACKGROUND $(stat -c %s src/background.bmp)" "RESOURCE_SCRIPT $(stat -c %s script.cp932)" \
    "RESOURCE_FILE0 $(stat -c %s "$first")" "RESOURCE_FILE1 missing" "RESOURCE_FILE2 $(stat -c %s src/data/sub/b.dat)" \
    "RESOURCE_FILE3 $(stat -c %s "src/データ/表.dat")" "RESOURCE_FILE4 0" "RESOURCE_FILE5 missing" \
    "STRING1 kept string" "KEEPME/1041 ja-data" "KEEPME/1033 en-data")
  [ "$(cat out.txt)" = "$expected" ] || { diff <(echo "$expected") out.txt; fail "$label: what the program found"; }
  cmp dump/RESOURCE_BACKGROUND src/background.bmp && cmp dump/RESOURCE_SCRIPT script.cp932 &&
    cmp dump/RESOURCE_FILE0 "$first" && cmp dump/RESOURCE_FILE2 src/data/sub/b.dat &&
    cmp dump/RESOURCE_FILE3 "src/データ/表.dat" && cmp dump/RESOURCE_FILE4 src/empty.dat || fail "$label: bytes differ"
  echo "ok: $label"
}
winepath_of() { echo "Z:$(realpath "$1" | tr / '\\')"; }

"$packer" build src -o first.exe --stub "$stubs/probe64.exe" -q
"$packer" extract first.exe back -q
cp back/script.txt script.cp932

run first.exe "appended resource section"
"$packer" build src -o last.exe --stub "$stubs/probe64-rsrclast.exe" -q
run last.exe "replaced last resource section"
"$packer" build src -o debug.exe --stub "$stubs/probe64-debug.exe" -q
run debug.exe "stub with a COFF symbol table"
"$packer" build src -o rebuilt.exe --stub first.exe -q
run rebuilt.exe "rebuilt patch"
head -c 3000001 /dev/urandom > big.bin
"$packer" build src -o big.exe --stub "$stubs/probe64.exe" --payload 0=big.bin -q
run big.exe "a payload of 3 MB" big.bin

if [ -n "$windows_packer" ] && [ -f "$windows_packer" ]; then
  "$wine" "$windows_packer" build src -o windows.exe --stub "$stubs/probe64.exe" --quiet > wine-packer.txt 2>&1 \
    || { cat wine-packer.txt; fail "the Windows packer did not build"; }
  cmp windows.exe first.exe || fail "the Windows packer made another patch than the native one"
  "$wine" "$windows_packer" inspect --json windows.exe > windows.json 2> wine-stderr.txt || { cat windows.json; fail "the Windows packer's inspect"; }
  python3 -c 'import json,sys; v=json.load(open("windows.json")); assert v["problems"] == [] and v["script"]["values"]["Caption"] == "Sorvane 修正プログラム ver 1.1", v' \
    || fail "the Windows packer's inspect --json"
  "$wine" "$windows_packer" extract windows.exe wback --quiet > /dev/null 2>&1 || fail "the Windows packer's extract"
  diff -r back wback > /dev/null || fail "the Windows packer extracted other files"
  echo "ok: the Windows packer makes the same patch"
else
  echo "note: no Windows packer given (${windows_packer:-none}); build the win64 preset to test it"
fi
echo "all passed"
