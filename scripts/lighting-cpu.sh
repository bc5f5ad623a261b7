#!/usr/bin/env bash
# Runs the built program headless on the demo rig in a clean home with a saved breathing effect
# (red 255, blue 128) that it restores at start, and reports the CPU it uses over SECONDS
# (default 60) and what the lighting thread is doing.
#   scripts/lighting-cpu.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
home="$(mktemp -d)"
trap 'kill "$program" 2>/dev/null; rm -rf "$home"' EXIT
export VXPLUS_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$VXPLUS_HOME" "$XDG_CONFIG_HOME/veltrix-plus" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
seconds="${SECONDS_RUN:-60}"
printf '[Software\\Veltrix Plus]\nRestoreUserSettings=1\n' >"$XDG_CONFIG_HOME/veltrix-plus/registry.ini"
python3 - "$VXPLUS_HOME/UserSettings.txt" <<'PY'
import sys
text = "[Gpu1]\r\nId=1b82\r\nLEDMODE=1\r\nLED_R_CR=255\r\nLED_G_CR=0\r\nLED_B_CR=128\r\nLED_Timer1=0\r\nLED_Timer2=0\r\nLED_Timer3=0\r\n"
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY
"$root/build/veltrix-plus" --simulate --headless >"$home/stdout" 2>"$home/stderr" &
program=$!
sleep 3
ticks() { awk '{print $14 + $15}' "/proc/$program/stat"; }
before="$(ticks)"
sleep "$seconds"
after="$(ticks)"
hz="$(getconf CLK_TCK)"
echo "threads (name, state, where it waits):"
for t in /proc/$program/task/*; do echo "  $(cat "$t/comm") $(awk '{print $3}' "$t/stat") $(cat "$t/wchan" 2>/dev/null)"; done
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "CPU over %d s: %.2f %% of one core (%d ticks at %d Hz)\n", s, 100 * t / hz / s, t, hz }'
