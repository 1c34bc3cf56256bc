#!/usr/bin/env bash
# CopyFolder against cp -r of the same tree on the same disk: one 1 GiB file and 3,000 small
# files in the test prefix, one run each, printed as a throughput ratio (above 1: CopyFolder
# is faster). Needs the test environment (testenv/setup.sh) and a windows-test build with the
# copyfolder_bench target built.
#   bench/copyfolder/run.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/windows-test}
exe=$build/bin/copyfolder_bench.exe
[ -f "$exe" ] || { echo "no $exe: build the copyfolder_bench target first" >&2; exit 2; }
. "$root/testenv/env.sh"

work=$WINEPREFIX/drive_c/xqvtest/engine/bench
trap 'rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$work/src"
echo "building the tree in $work/src ..."
dd if=/dev/urandom of="$work/src/big.bin" bs=1M count=1024 status=none
small=$(printf '%4096s' '')
for i in $(seq 0 2999); do
  folder=$work/src/d$((i / 100))
  [ -d "$folder" ] || mkdir "$folder"
  printf '%s' "$small" >"$folder/f$i.txt"
done
sync

start=$(date +%s.%N)
cp -r "$work/src" "$work/cp"
end=$(date +%s.%N)
cp_seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
rm -rf "$work/cp"
sync

result=$("$root/testenv/wine-run.sh" "$exe" 'C:\xqvtest\engine\bench\src' 'C:\xqvtest\engine\bench\dst')
echo "CopyFolder: $result"
copy_seconds=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$result")
bytes=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' <<<"$result")
awk -v bytes="$bytes" -v copy="$copy_seconds" -v cp="$cp_seconds" 'BEGIN {
  printf "cp -r: seconds=%.3f\n", cp
  printf "throughput CopyFolder %.1f MB/s, cp -r %.1f MB/s, ratio %.2f\n",
         bytes / 1048576 / copy, bytes / 1048576 / cp, cp / copy
}'
