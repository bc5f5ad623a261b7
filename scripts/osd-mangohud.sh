#!/usr/bin/env bash
# The on-screen display in a real overlay: runs the built program headless on the demo rig with
# every display switch on, then `mangohud glxgears` under Xvfb with the README's MangoHud.conf,
# and takes screenshots 8 s and 11 s in (OUT, default build/osd-mangohud: shot1.png, shot2.png).
#   scripts/osd-mangohud.sh            (needs the Debian packages mangohud and mesa-utils)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" VXPLUS_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
unset MANGOHUD_CONFIG  # it would replace the file, even when empty
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/veltrix-plus" "$XDG_CONFIG_HOME/MangoHud"
chmod 700 "$XDG_RUNTIME_DIR"
out="${OUT:-$root/build/osd-mangohud}"
mkdir -p "$out"
printf '[Software\\Veltrix Plus]\nOSDClockShow=1\nOSDTempShow=1\nOSDFanSpeedShow=1\nOSDFramerateShow=1\n' \
  >"$XDG_CONFIG_HOME/veltrix-plus/registry.ini"
printf 'legacy_layout=0\nfps\nwidth=420\nexec=cat $XDG_RUNTIME_DIR/veltrix-plus-osd.txt\n' \
  >"$XDG_CONFIG_HOME/MangoHud/MangoHud.conf"

"$root/build/veltrix-plus" --simulate --headless >"$out/program.txt" 2>&1 &
program=$!
sleep 3
mangohud glxgears -geometry 780x580 >"$out/glxgears.txt" 2>&1 &
gears=$!
sleep 8
import -window root "$out/shot1.png"
sleep 3
import -window root "$out/shot2.png"
kill "$gears"
kill "$program" && wait "$program"
test ! -e "$XDG_RUNTIME_DIR/veltrix-plus-osd.txt" && echo "feed file removed at quit"
echo "screenshots in $out"
