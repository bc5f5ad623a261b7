#!/usr/bin/env bash
# Takes screenshots of the translucent host over a desktop picture, under Xvfb with a
# compositing manager so per-pixel alpha shows: OUT/host.png, and with APPLY_AT="x y" (host
# coordinates of the APPLY button) OUT/apply.png while the clock-apply worker runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${OUT:-$root/build/translucent}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1500x1000x24 +extension Composite" "$0" "$@"
fi
mkdir -p "$out"
home="$(mktemp -d)"
export VXPLUS_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" HOME="$home"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The desktop: a picture in a window mapped first, so everything later stacks above it.
convert -size 1500x1000 -seed 7 plasma:'#2f6fb0'-'#e8a040' -blur 0x3 "$home/desktop.png"
display -geometry 1500x1000+0+0 -backdrop "$home/desktop.png" &
desktop=$!
sleep 1
xcompmgr >"$home/xcompmgr.log" 2>&1 &
compositor=$!
"$root/build/veltrix-plus" --simulate >"$home/stdout" 2>"$home/stderr" &
program=$!
trap 'kill "$program" "$compositor" "$desktop" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$home"' EXIT
sleep 7
main="$(xdotool search --name '^Veltrix Plus$' | head -1)"
xdotool windowmove --sync "$main" 120 100
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
crop="$((WIDTH + 80))x$((HEIGHT + 80))+$((X > 40 ? X - 40 : 0))+$((Y > 40 ? Y - 40 : 0))"
import -window root -crop "$crop" "$out/host.png"
if [ -n "${APPLY_AT:-}" ]; then
  read -r ax ay <<<"$APPLY_AT"
  xdotool mousemove $((X + ax)) $((Y + ay)) click 1
  sleep 0.6
  import -window root -crop "$crop" "$out/apply.png"
fi
echo "host at $X,$Y size ${WIDTH}x$HEIGHT; shots in $out"
