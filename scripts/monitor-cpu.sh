#!/usr/bin/env bash
# Runs the built program on the demo rig under Xvfb in a clean home, opens the monitor page and
# the monitor window with clicks, and reports the CPU the program used over the next SECONDS
# (default 60) plus /usr/bin/time's figures for the whole run. Screenshots land in OUT
# (default build/monitor-cpu): screen.png, main.png, monitor.png.
#   scripts/monitor-cpu.sh            (needs xvfb, xdotool, imagemagick: scripts/setup.sh)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1700x1100x24" "$0" "$@"
fi
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export VXPLUS_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
out="${OUT:-$root/build/monitor-cpu}"
seconds="${SECONDS_OPEN:-60}"
mkdir -p "$out"

/usr/bin/time -f "whole run: user %U s, system %S s, elapsed %e s, CPU %P" \
  "$root/build/veltrix-plus" --simulate >"$home/stdout" 2>"$out/time.txt" &
timer=$!
sleep 4
program="$(pgrep -P "$timer" veltrix-plus)"
main="$(xdotool search --name '^Veltrix Plus$' | head -1)"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 50)) $((Y + 409)) click 1   # the monitor page
sleep 1
xdotool mousemove $((X + 676)) $((Y + 352)) click 1  # its "Monitors" button
sleep 1
monitor="$(xdotool search --name '^Monitors$' | head -1)"
xdotool windowmove "$monitor" 1030 0
xdotool mousemove 0 1000

ticks() { awk '{print $14 + $15}' "/proc/$program/stat"; }
before="$(ticks)"
sleep "$seconds"
after="$(ticks)"
hz="$(getconf CLK_TCK)"
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "monitor window open %d s: %.2f s CPU, %.2f %% of one core\n", s, t / hz, 100 * t / hz / s }'
import -window root "$out/screen.png"
import -window "$main" "$out/main.png"
import -window "$monitor" "$out/monitor.png"
kill -TERM "$program"
wait "$timer" || true
cat "$out/time.txt"
