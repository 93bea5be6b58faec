#!/usr/bin/env bash
# velkin_add_patch in a project of its own, with the packer given as VP_NATIVE_PACKER as a
# cross build gives it: the patch is made, a second build does nothing, and a changed payload,
# a changed script or a changed stub makes it again.
# Usage: cmake_test.sh VELKINPACK STUB_DIR
set -euo pipefail
packer=$(realpath "$1")
stubs=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
[ -f "$stubs/probe64.exe" ] || { echo "SKIP: no test stubs in $stubs"; exit 77; }
work=$(mktemp -d /tmp/velkinpack-cmake.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

python3 "$here/make_source.py" "$work/project/patch"
cp "$stubs/probe64.exe" "$work/stub.exe"
printf 'other payload' > "$work/project/other.bin"
cat > "$work/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(patches NONE)
include("$repo/cmake/VelkinPatch.cmake")
velkin_add_patch(NAME first STUB "$work/stub.exe" SRC patch OUTPUT first.exe)
velkin_add_patch(NAME second STUB "$work/stub.exe" SRC patch OUTPUT out/second.exe PAYLOADS 0=other.bin)
CMAKE
cmake -S "$work/project" -B "$work/build" -G Ninja -DVP_NATIVE_PACKER="$packer" > /dev/null
build() { cmake --build "$work/build" > "$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build"; }; }
packed() { grep -c "Packing the patch" "$work/build.log" || true; }

build
[ "$(packed)" = 2 ] || fail "the first build made $(packed) patches"
"$packer" inspect "$work/build/first.exe" > /dev/null || fail "first.exe has problems"
wrestool -x --raw --type=BIN --name=RESOURCE_FILE0 "$work/build/out/second.exe" | cmp - "$work/project/other.bin" || fail "PAYLOADS"
build
[ "$(packed)" = 0 ] || fail "a second build packed again"
touch "$work/project/patch/data/sub/b.dat"
build
[ "$(packed)" = 2 ] || fail "a changed payload did not make both patches again"
touch "$work/project/other.bin"
build
[ "$(packed)" = 1 ] || fail "a changed explicit payload made $(packed) patches"
sed -i 's/ver 1.1/ver 1.2/' "$work/project/patch/script.txt"
build
[ "$(packed)" = 2 ] || fail "a changed script did not make the patches again"
touch "$work/stub.exe"
build
[ "$(packed)" = 2 ] || fail "a changed stub did not make the patches again"
echo "all passed"
