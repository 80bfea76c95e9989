#!/usr/bin/env bash
# Benchmark, not part of the tests: drives the Release korvenel.exe through its window under Wine on
# generated save folders of three shapes, and sets each figure beside the least the same work costs:
# the file-system object's CopyFolder called directly and cmd's rd /s /q under Wine, cp -r and
# rm -rf on the host. Prints a table of medians and writes it to build/bench/results.csv.
#
#   KORVENEL_BENCH_RUNS    runs per figure (default 5; the table shows medians)
#   KORVENEL_BENCH_SHAPES  which shapes (default "typical large many-small")
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

runs=${KORVENEL_BENCH_RUNS:-5}
read -r -a shapes <<<"${KORVENEL_BENCH_SHAPES:-typical large many-small}"
build=build/bench
drive=$PWD/$build/drive      # the bench drive S: of the bench's own Wine prefix
native=$PWD/$build/native    # scratch of the host's cp -r and rm -rf

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DKORVENEL_BENCH=ON >/dev/null
cmake --build "$build" --target korvenel korvenel_bench bare_window -j"$(nproc)"

rm -rf "$drive" "$native"
mkdir -p "$drive/app" "$drive/bin" "$drive/shapes" "$drive/work" "$native"
echo "Scratch drive of Korvenel's benchmark." >"$drive/korvenel-bench-drive"
cp "$build/bin/korvenel.exe" "$drive/app/"
cp "$build/bin/korvenel_bench.exe" "$build/bin/bare_window.exe" "$drive/bin/"

# files DIR PREFIX COUNT SIZE: COUNT files of SIZE random bytes, named PREFIX000.dat and on.
files() {
  mkdir -p "$1"
  head -c $(($3 * $4)) /dev/urandom | split -b "$4" -a 3 -d --additional-suffix=.dat - "$1/$2"
}

# A save folder of about 50 files, 2 MB: one slot folder with two sub-folders.
make_typical() {
  files "$1" slot 40 30720
  files "$1/profile" data 4 30720
  files "$1/profile" large 1 286720
  files "$1/screens" shot 4 30720
  files "$1/screens" full 1 286720
}

# About 2,000 files in 40 folders, 130 MB: 5 regions of 7 areas each, 50 files per folder of
# 40 to 87 KB, and in 8 of the folders one file of 0.5 MB in place of one of them.
make_large() {
  local folder=0 region area
  for region in 0 1 2 3 4; do
    for area in -1 0 1 2 3 4 5 6; do
      local dir=$1/region$region
      [ "$area" -lt 0 ] || dir=$dir/area$area
      local count=50
      if [ "$folder" -lt 8 ]; then
        files "$dir" big 1 524288
        count=49
      fi
      files "$dir" part "$count" $(((40 + folder * 13 % 48) * 1024))
      folder=$((folder + 1))
    done
  done
}

# 10,000 files of 1 KB: 10 folders of 10 sub-folders, 100 files each.
make_many_small() {
  local pool=$native/pool
  mkdir -p "$pool"
  head -c 10240000 /dev/urandom | split -b 1024 -a 4 -d --additional-suffix=.dat - "$pool/f"
  local top sub
  for top in 0 1 2 3 4 5 6 7 8 9; do
    for sub in 0 1 2 3 4 5 6 7 8 9; do
      mkdir -p "$1/set$top/part$sub"
      mv "$pool/f$top$sub"??.dat "$1/set$top/part$sub/"
    done
  done
  rmdir "$pool"
}

for shape in "${shapes[@]}"; do
  case $shape in
    typical) make_typical "$drive/shapes/$shape/save" ;;
    large) make_large "$drive/shapes/$shape/save" ;;
    many-small) make_many_small "$drive/shapes/$shape/save" ;;
    *) echo "unknown shape: $shape" >&2; exit 1 ;;
  esac
done
sync  # the new files written back before anything is timed

# The host's figures, on the same files, in the samples file that the driver reads.
microseconds() { printf -v "$1" '%s' "${EPOCHREALTIME/[.,]/}"; }
record() { printf '%s,%s,%d.%06d\n' "$1" "$2" $(($3 / 1000000)) $(($3 % 1000000)) >>"$drive/native-samples.csv"; }
for shape in "${shapes[@]}"; do
  save=$drive/shapes/$shape/save
  for _ in $(seq 1 "$runs"); do
    microseconds t0; cp -r "$save" "$native/copy1"; cp -r "$save" "$native/copy2"; microseconds t1
    record "$shape" backup_native $((t1 - t0))
    microseconds t0; rm -rf "$native/copy1"; microseconds t1
    record "$shape" removal_native $((t1 - t0))
    microseconds t0; rm -rf "$native/copy2"; cp -r "$save" "$native/copy2"; microseconds t1
    record "$shape" restore_native $((t1 - t0))
    rm -rf "$native/copy2"
  done
done
sync

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
trap korvenel_stop_wine EXIT
korvenel_start_display
# A prefix of the bench's own whose only drives are C: and the bench drive S:.
korvenel_test_prefix "$PWD/$build/wine" "$drive"
unset TZ KORVENEL_TEST_DRIVE
export LANG=zh_CN.UTF-8
# The Windows C runtime ends its lines with CR LF.
wine "$drive/bin/korvenel_bench.exe" S: "$runs" "${shapes[@]}" | tr -d '\r' | tee "$build/results.txt"
cp "$drive/results.csv" "$drive/samples.csv" "$build/"
echo "table: $build/results.txt, $build/results.csv; every sample: $build/samples.csv"
