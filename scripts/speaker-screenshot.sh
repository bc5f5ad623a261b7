#!/usr/bin/env bash
# Takes docs/screenshots/page-4-speakers.png: the built program on the demo rig under Xvfb, with
# a sound server of its own holding a sink named like the card's HDMI audio device (made the
# default by "HdmiAutoSet" within 5 s), the speaker page open and front right clicked.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1700x1100x24" "$0" "$@"
fi
home="$(mktemp -d)"
export VXPLUS_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" HOME="$home"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=no -n --exit-idle-time=-1 --load=module-native-protocol-unix \
  "--load=module-null-sink sink_name=speakers sink_properties=device.description=Speakers" \
  "--load=module-null-sink sink_name=hdmi channels=8 sink_properties='device.description=\"HDA NVidia Digital Surround 7.1 (HDMI)\"'" \
  >"$home/pulseaudio.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$home"' EXIT
for _ in $(seq 50); do [ -S "$PULSE_RUNTIME_PATH/native" ] && break; sleep 0.1; done
pactl set-default-sink speakers
"$root/build/veltrix-plus" --simulate >"$home/stdout" 2>"$home/stderr" &
program=$!
sleep 7
main="$(xdotool search --name '^Veltrix Plus$' | head -1)"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 50)) $((Y + 349)) click 1   # page 4
sleep 1
xdotool mousemove $((X + 483)) $((Y + 203)) click 1  # front right
sleep 0.3
xdotool mousemove $((X + 700)) $((Y + 470))
sleep 0.2
import -window "$main" "$root/docs/screenshots/page-4-speakers.png"
echo "default playback device: $(pactl get-default-sink)"
kill -TERM "$program"
wait "$program" || true
