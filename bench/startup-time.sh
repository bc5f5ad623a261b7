#!/usr/bin/env bash
# Start-to-ready time of a headless start on the simulated demo rig: from launch to the line
# "Running without a window" on standard output. Prints the median of RUNS runs (default 10)
# for a first start (a fresh, empty home each run) and for a later start (one home, kept).
#   bench/startup-time.sh [PROGRAM] [RUNS]     PROGRAM defaults to build/veltrix-plus
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${1:-$root/build/veltrix-plus}")"
runs="${2:-10}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

now_us() { local t=${EPOCHREALTIME/./}; echo "$t"; }

# One run in home $1: prints microseconds from launch to ready.
one_run() {
    local home=$1 start ready="" line
    mkdir -p "$home/data" "$home/config" "$home/run"
    chmod 700 "$home/run"
    start=$(now_us)
    coproc APP {
        exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM VXPLUS_HOME="$home/data" \
            XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" \
            "$program" --simulate --headless 2>/dev/null
    }
    local pid=$APP_PID
    while IFS= read -r line <&"${APP[0]}"; do
        if [[ $line == "Running without a window"* ]]; then ready=$(now_us); break; fi
    done
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [[ -n $ready ]] || { echo "the program never got ready (home $home)" >&2; return 1; }
    echo $((ready - start))
}

median_ms() {
    local sorted n
    mapfile -t sorted < <(printf '%s\n' "$@" | sort -n)
    n=${#sorted[@]}
    local mid=$(( (sorted[(n - 1) / 2] + sorted[n / 2]) / 2 ))
    printf '%d.%01d ms (min %d.%01d, max %d.%01d)' $((mid / 1000)) $((mid % 1000 / 100)) \
        $((sorted[0] / 1000)) $((sorted[0] % 1000 / 100)) $((sorted[n - 1] / 1000)) $((sorted[n - 1] % 1000 / 100))
}

first=() later=()
one_run "$work/kept" >/dev/null  # the kept home's own first start
for ((i = 0; i < runs; i++)); do
    first+=("$(one_run "$work/fresh$i")")
    later+=("$(one_run "$work/kept")")
done
echo "start to ready, median of $runs: first start $(median_ms "${first[@]}"); later start $(median_ms "${later[@]}")"
