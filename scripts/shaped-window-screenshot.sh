#!/usr/bin/env bash
# Takes docs/screenshots/monitor-window-shaped.png: the built program on the demo rig under Xvfb,
# the monitor window opened from the monitor page, over a coloured desktop so the corners its
# background's outline cuts away show.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1700x1100x24" "$0" "$@"
fi
home="$(mktemp -d)"
export VXPLUS_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" HOME="$home"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$home"' EXIT
xsetroot -solid "#3b6e8f" || true
"$root/build/veltrix-plus" --simulate >"$home/stdout" 2>"$home/stderr" &
program=$!
sleep 7
main="$(xdotool search --name '^Veltrix Plus$' | head -1)"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 50)) $((Y + 409)) click 1   # monitor page
sleep 1
xdotool mousemove $((X + 675)) $((Y + 352)) click 1  # "Monitors"
sleep 12
monitor="$(xdotool search --onlyvisible --name '^Monitors$' | head -1)"
xdotool windowmove "$monitor" 900 40
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$monitor")"
import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" \
  +repage "$root/docs/screenshots/monitor-window-shaped.png"
kill -TERM "$program"
wait "$program" || true
