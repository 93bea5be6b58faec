#!/usr/bin/env bash
# The packer's command line against independent readers: wrestool (icoutils), windres
# (binutils), osslsigncode; the round trip through extract; the default stub; the messages.
# Usage: cli_test.sh VELKINPACK STUB_DIR
set -euo pipefail
packer=$(realpath "$1")
stubs=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in wrestool x86_64-w64-mingw32-windres osslsigncode openssl python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -f "$stubs/probe64.exe" ] || { echo "SKIP: no test stubs in $stubs"; exit 77; }

work=$(mktemp -d /tmp/velkinpack-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
export LC_ALL=C.UTF-8
fail() { echo "FAIL: $*" >&2; exit 1; }
size() { stat -c %s "$1"; }

python3 "$here/make_source.py" src
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=velkinpack test" 2>/dev/null

for stub in probe64 probe32; do
  echo "== $stub"
  "$packer" build src -o "$stub.exe" --stub "$stubs/$stub.exe" > build.log || fail "build with $stub"
  script_size=$(python3 -c 'import sys; print(len(open("src/script.txt","rb").read().replace(b"\n", b"\r\n").decode("utf-8").encode("cp932")))')

  # wrestool: every package resource with its type, the neutral language and its size.
  wrestool -l "$stub.exe" > wrestool.txt
  for expect in "--type='BMP' .*--language=0 .*size=$(size src/background.bmp)\]" \
                "--type='TEXT' .*--language=0 .*size=$script_size\]" \
                "--type='BIN' .*--language=0 .*size=$(size src/sov_patch.xp3)\]" \
                "--type='BIN' .*--language=0 .*size=$(size src/data/sub/b.dat)\]" \
                "--type='BIN' .*--language=0 .*size=0\]" \
                "--type=10 --name='KEEPME' --language=1041" "--type=16 --name=1 --language=0"; do
    grep -q -- "$expect" wrestool.txt || { cat wrestool.txt; fail "$stub: wrestool lists no $expect"; }
  done
  wrestool -x --raw --type=BIN --name=RESOURCE_FILE0 "$stub.exe" | cmp - src/sov_patch.xp3 || fail "$stub: wrestool extracts another payload 0"
  wrestool -x --raw --type=BIN --name=RESOURCE_FILE3 "$stub.exe" | cmp - "src/データ/表.dat" || fail "$stub: wrestool extracts another payload 3"

  # windres reads the tree with the names.
  x86_64-w64-mingw32-windres -i "$stub.exe" -O rc -o windres.rc || fail "$stub: windres cannot read the output"
  for name in '"RESOURCE_BACKGROUND" "BMP"' '"RESOURCE_SCRIPT" "TEXT"' '"RESOURCE_FILE0" "BIN"' '"RESOURCE_FILE2" "BIN"' \
              '"RESOURCE_FILE3" "BIN"' '"RESOURCE_FILE4" "BIN"' '"KEEPME" RCDATA'; do
    grep -qF "$name" windres.rc || fail "$stub: windres shows no $name"
  done
  ! grep -qF '"RESOURCE_FILE1"' windres.rc || fail "$stub: the empty item took a payload"

  # inspect --json: the values, the digests, no problems.
  "$packer" inspect --json "$stub.exe" > inspect.json || { cat inspect.json; fail "$stub: inspect found problems"; }
  python3 - "$stub" <<'PY' || fail "$stub: inspect --json"
import hashlib, json, sys
v = json.load(open("inspect.json"))
assert v["problems"] == [], v["problems"]
assert v["script"]["values"]["Caption"] == "Sorvane 修正プログラム ver 1.1", v["script"]["values"]
assert v["script"]["outFiles"] == ["sov_patch.xp3", "", "data\\sub\\b.dat", "データ\\表.dat", "empty.dat"]
assert (v["picture"]["width"], v["picture"]["height"]) == (600, 300)
files = {0: "src/sov_patch.xp3", 2: "src/data/sub/b.dat", 3: "src/データ/表.dat", 4: "src/empty.dat"}
assert [p["number"] for p in v["payloads"]] == sorted(files)
for p in v["payloads"]:
    assert p["sha256"] == hashlib.sha256(open(files[p["number"]], "rb").read()).hexdigest(), p
assert v["checksum"]["stored"] == v["checksum"]["computed"]
PY
  "$packer" inspect "$stub.exe" > inspect.txt || fail "$stub: inspect exit status"
  grep -q "^  \*Caption     Sorvane 修正プログラム ver 1.1$" inspect.txt || { cat inspect.txt; fail "$stub: inspect shows no caption"; }

  # osslsigncode: the checksum of the unsigned output is right; signing and verifying work.
  osslsigncode verify -in "$stub.exe" > verify-unsigned.txt 2>&1 || true
  grep -q "^PE checksum" verify-unsigned.txt && ! grep -qi mismatch verify-unsigned.txt || { cat verify-unsigned.txt; fail "$stub: checksum"; }
  osslsigncode sign -certs cert.pem -key key.pem -in "$stub.exe" -out "$stub-signed.exe" > /dev/null || fail "$stub: signing"
  osslsigncode verify -in "$stub-signed.exe" -CAfile cert.pem > verify.txt 2>&1 || { cat verify.txt; fail "$stub: verify"; }
  grep -q "Signature verification: ok" verify.txt && ! grep -qi mismatch verify.txt || { cat verify.txt; fail "$stub: verify output"; }

  # A signed patch as stub: the signature goes, with a warning, and the rest is as before.
  "$packer" build src -o resigned.exe --stub "$stub-signed.exe" > /dev/null 2> warn.txt || fail "$stub: build from the signed patch"
  grep -q "warning: .*signature was removed" warn.txt || fail "$stub: no warning about the signature"
  cmp resigned.exe "$stub.exe" || fail "$stub: rebuilding the signed patch changed the package"

  # The round trip: extract, build again, the same bytes.
  rm -rf back
  "$packer" extract "$stub.exe" back > /dev/null || fail "$stub: extract"
  "$packer" build back -o again.exe --stub "$stubs/$stub.exe" -q || fail "$stub: build of the extracted folder"
  cmp again.exe "$stub.exe" || fail "$stub: extract and build do not give the same patch"
  cmp "back/データ/表.dat" "src/データ/表.dat" || fail "$stub: extracted Japanese name"
  "$packer" build back -o "$stub.exe" --stub "$stub.exe" -q || fail "$stub: build over itself"
  cmp again.exe "$stub.exe" || fail "$stub: building over itself changed the patch"
done

echo "== a Shift-JIS script goes in unchanged"
python3 "$here/make_source.py" sjis cp932
"$packer" build sjis -o sjis.exe --stub "$stubs/probe64.exe" -q
wrestool -x --raw --type=TEXT --name=RESOURCE_SCRIPT sjis.exe | cmp - sjis/script.txt || fail "the Shift-JIS script changed"

echo "== the default stub beside the packer"
mkdir -p bin
cp "$packer" bin/velkinpack
if bin/velkinpack build src -o default.exe 2> nostub.txt; then fail "built without a stub"; fi
grep -q "no velkinPatch-stub.exe beside the packer (in $work/bin)" nostub.txt || { cat nostub.txt; fail "message for a missing default stub"; }
cp "$stubs/probe32.exe" bin/velkinPatch-stub.exe
bin/velkinpack build src -o default.exe > default.txt
grep -q "^stub       $work/bin/velkinPatch-stub.exe (PE32, i686)$" default.txt || { cat default.txt; fail "default stub not used"; }
cmp default.exe probe32.exe || fail "the default stub gave another patch"

echo "== messages and exit statuses"
rm src/data/sub/b.dat
if "$packer" build src -o missing.exe --stub "$stubs/probe64.exe" > /dev/null 2> missing.txt; then fail "built without a payload"; fi
grep -q "error: payload 2 (\"data\\\\sub\\\\b.dat\"): src/data/sub/b.dat does not exist; put the file there or name it with --payload 2=FILE" missing.txt \
  || { cat missing.txt; fail "message for a missing payload"; }
[ ! -e missing.exe ] || fail "a refused build left an output"
set +e
"$packer" inspect "$stubs/probe64.exe" > /dev/null 2>&1; [ $? -eq 1 ] || fail "inspect of a bare stub must report problems"
"$packer" build > /dev/null 2>&1; [ $? -eq 2 ] || fail "usage error status"
"$packer" build src --bogus -o x.exe > /dev/null 2>&1; [ $? -eq 2 ] || fail "unknown option status"
"$packer" inspect /nonexistent.exe > /dev/null 2> nofile.txt; [ $? -eq 1 ] || fail "inspect of a missing file"
"$packer" build src -o x.exe --payload two=a.dat > /dev/null 2> usage.txt; [ $? -eq 2 ] || fail "a bad --payload"
grep -q "^velkinpack: --payload takes N=FILE" usage.txt || fail "message for a bad --payload"
"$packer" build src -o x.exe --script-encoding latin1 > /dev/null 2> usage.txt; [ $? -eq 2 ] || fail "a bad --script-encoding"
grep -q "^velkinpack: --script-encoding takes auto, cp932 or utf-8" usage.txt || fail "message for a bad --script-encoding"
set -e
grep -q "cannot open /nonexistent.exe" nofile.txt || fail "message for a missing file"
LC_ALL=C "$packer" inspect probe64.exe > ascii.txt
grep -q "^  \*Caption     Sorvane ??????? ver 1.1$" ascii.txt || { cat ascii.txt; fail "inspect in an ASCII terminal"; }
echo "all passed"
