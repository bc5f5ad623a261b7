#!/usr/bin/env bash
# Builds the fuzz harnesses (fuzz/, clang's libFuzzer, into build-fuzz/) and runs each (or the
# ones named) for the given seconds (default 60) over its seeds in fuzz/corpus/<harness>:
#   scripts/fuzz.sh [seconds] [harness...] Before fuzzing, each
# harness reads inputs exactly at and one byte above its reader's size limit. New inputs
# collect in build-fuzz/corpus/<harness>, crashing ones in build-fuzz/crashes/<harness>.
# FUZZ_JOBS runs that many harnesses at once (default 1). Exit status 1 when any crashed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift $(($# > 0 ? 1 : 0))
only=" $* "
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++-15}" \
  -DVX_BUILD_FUZZERS=ON -DVX_BUILD_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzzers

# Harness, its reader's size limit in bytes (none: 0), and the seed padded up to the limit.
limits=(
  "IniReaderFuzzer 0"
  "SettingsFileFuzzer $((1 << 20)) UserSettings.txt"
  "RigJsonFuzzer $((4 << 20)) demo.json"
  "StateFileFuzzer $((4 << 20)) demo.state.json"
  "RegistryFileFuzzer $((1 << 20)) registry.ini"
  "BiosScanFuzzer 0"
  "FrameDecoderFuzzer 0"
  "InfoXmlFuzzer $((1 << 20)) Info.xml"
  "WaveFileFuzzer 0"
)

mkdir -p "$build/logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

# A seed padded with blanks to `size` bytes.
padded() { { cat "$1"; head -c $(( $2 - $(stat -c %s "$1") )) /dev/zero | tr '\0' ' '; } > "$3"; }

run_one() {
  local name="$1" limit="$2" seed="$3"
  local corpus="$build/corpus/$name" crashes="$build/crashes/$name" log="$build/logs/$name.log"
  rm -rf "$crashes"
  mkdir -p "$corpus" "$crashes" "$build/limits/$name"
  : >"$log"  # this run's figures only
  if [ "$limit" -gt 0 ]; then
    padded "$root/fuzz/corpus/$name/$seed" "$limit" "$build/limits/$name/at-limit"
    padded "$root/fuzz/corpus/$name/$seed" $((limit + 1)) "$build/limits/$name/above-limit"
    "$build/fuzz/$name" "$build/limits/$name"/* >>"$log" 2>&1 || { echo "$name: failed on a size-limit input (see $log)"; return 1; }
  fi
  "$build/fuzz/$name" "$corpus" "$root/fuzz/corpus/$name" -max_total_time="$seconds" -print_final_stats=1 \
    -rss_limit_mb=4096 -artifact_prefix="$crashes/" >>"$log" 2>&1 || true
  local execs rate cov
  execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
  rate=$(awk '/stat::average_exec_per_sec/ {print $2}' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  local found
  found=$(find "$crashes" -type f | wc -l)
  printf '%-20s %10s execs %8s exec/s  coverage %6s  crashes %s\n' "$name" "${execs:-?}" "${rate:-?}" "${cov:-?}" "$found"
  [ "$found" -eq 0 ] && [ -n "$execs" ]
}

rm -f "$build"/logs/*.failed
for entry in "${limits[@]}"; do
  read -r name limit seed <<<"$entry"
  [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
  { run_one "$name" "$limit" "${seed:-}" || touch "$build/logs/$name.failed"; } &
  while [ "$(jobs -rp | wc -l)" -ge "${FUZZ_JOBS:-1}" ]; do sleep 1; done
done
wait
! ls "$build"/logs/*.failed >/dev/null 2>&1
