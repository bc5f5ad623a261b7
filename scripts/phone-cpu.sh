#!/usr/bin/env bash
# Runs the built program headless on the demo rig in a clean home with a phone client
# (tests/remote/phone_client.py) logged in, and reports the CPU the program used over the next
# SECONDS (default 60) and how many code 21 pushes the client received.
#   scripts/phone-cpu.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
home="$(mktemp -d)"
trap 'kill -TERM "$program" 2>/dev/null || true; rm -rf "$home"' EXIT
export VXPLUS_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

"$root/build/veltrix-plus" --simulate --headless >"$home/stdout" 2>"$home/stderr" &
program=$!
python3 "$root/tests/remote/phone_client.py" 34000 $((seconds + 2)) >"$home/client" &
client=$!
until grep -q "login ok" "$home/client" 2>/dev/null; do
  kill -0 "$client" 2>/dev/null || { cat "$home/client" "$home/stderr"; exit 1; }
  sleep 0.2
done
ticks() { awk '{print $14 + $15}' "/proc/$program/stat"; }
before="$(ticks)"
sleep "$seconds"
after="$(ticks)"
wait "$client"
hz="$(getconf CLK_TCK)"
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "headless with a logged-in phone %d s: %.2f s CPU, %.2f %% of one core\n", s, t / hz, 100 * t / hz / s }'
tail -n 1 "$home/client"
