#!/usr/bin/env bash
# Builds pe_reader_fuzz with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it for a bounded time on seeds of small PE files.
# Usage: fuzz/run_pe_reader_fuzz.sh [SECONDS (default 60)] [BUILD_DIR (default /tmp/velkinpack-fuzz)]
# A crash leaves its input as crash-* in BUILD_DIR/run; replay it with
#   BUILD_DIR/pe_reader_fuzz BUILD_DIR/run/crash-...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-60}
build=${2:-/tmp/velkinpack-fuzz}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ > /dev/null
cmake --build "$build" -j2
mkdir -p "$build/corpus" "$build/run"
python3 "$here/make_pe_seeds.py" "$build/seeds"
cd "$build/run"
exec "$build/pe_reader_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$build/corpus" "$build/seeds"
