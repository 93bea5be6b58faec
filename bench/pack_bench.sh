#!/usr/bin/env bash
# Packing a large payload against cp of the same file on the same disk, in the same run:
# prints the time ratio (target: at most 1.2) and the packer's peak memory (target: under
# 64 MiB), and exits 1 when either is over its target.
# Usage: bench/pack_bench.sh [VELKINPACK [STUB.exe]]
#   SIZE_MIB (default 512) sets the payload size, ROUNDS (default 7) the timed runs of each;
#   the ratio is taken between the medians. Work files go to a folder under TMPDIR (/tmp).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
packer=${1:-$top/build/native/velkinpack}
stub=${2:-}
if [ -z "$stub" ]; then
  for candidate in "$top/build/win32/velkinPatch-stub.exe" "$top/build/native/tests/pack/stubs/probe32.exe"; do
    if [ -f "$candidate" ]; then stub=$candidate; break; fi
  done
fi
size_mib=${SIZE_MIB:-512}
rounds=${ROUNDS:-7}
[ -x "$packer" ] || { echo "no packer at $packer (build the native preset, or name it)" >&2; exit 2; }
[ -f "$stub" ] || { echo "no stub (build the win32 preset, or name one)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velkinpack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
dd if=/dev/urandom of="$work/src/payload.bin" bs=1M count="$size_mib" status=none
python3 - "$work/src/background.bmp" <<'PY'
import struct, sys
w, h = 600, 300
bits = bytes(w * 3 * h)
open(sys.argv[1], "wb").write(struct.pack("<2sIHHI", b"BM", 54 + len(bits), 0, 0, 54) +
    struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(bits), 0, 0, 0, 0) + bits)
PY
printf '*Caption\r\n\tbench\r\n*PatchType\r\n\t1\r\n%%OutFiles\r\n\tpayload.bin\r\n%%%%\r\n' > "$work/src/script.txt"

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
run_cp() { cp "$work/src/payload.bin" "$work/copy.bin"; }
run_pack() { "$packer" build "$work/src" -o "$work/patch.exe" --stub "$stub" --quiet 2> /dev/null; }

# One untimed run of each warms the page cache. Then the two alternate, which goes first
# changing every round; each starts with its output removed and nothing left to write back.
run_cp; run_pack
cp_times=(); pack_times=()
time_cp() { rm -f "$work/copy.bin"; sync; local t0; t0=$(now); run_cp; cp_times+=("$(elapsed "$t0" "$(now)")"); }
time_pack() { rm -f "$work/patch.exe"; sync; local t0; t0=$(now); run_pack; pack_times+=("$(elapsed "$t0" "$(now)")"); }
for round in $(seq "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then time_cp; time_pack; else time_pack; time_cp; fi
done
rm -f "$work/patch.exe"; sync
peak_kib=$(/usr/bin/time -f %M "$packer" build "$work/src" -o "$work/patch.exe" --stub "$stub" --quiet 2>&1 >/dev/null | tail -n 1)

cp_median=$(median "${cp_times[@]}")
pack_median=$(median "${pack_times[@]}")
ratio=$(awk -v p="$pack_median" -v c="$cp_median" 'BEGIN { printf "%.2f", p / c }')
peak_mib=$(awk -v k="$peak_kib" 'BEGIN { printf "%.1f", k / 1024 }')
echo "payload      ${size_mib} MiB, ${rounds} rounds"
echo "cp           median ${cp_median} s   (${cp_times[*]})"
echo "velkinpack   median ${pack_median} s   (${pack_times[*]})"
echo "ratio        ${ratio} (target at most 1.2)"
echo "peak memory  ${peak_mib} MiB (target under 64 MiB)"
status=0
awk -v r="$ratio" 'BEGIN { exit !(r > 1.2) }' && { echo "OVER: packing is slower than 1.2 times cp"; status=1; }
awk -v m="$peak_mib" 'BEGIN { exit !(m >= 64) }' && { echo "OVER: peak memory"; status=1; }
exit $status
