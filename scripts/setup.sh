#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when they are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang-15 libclang-common-15-dev
  qt6-base-dev libgl-dev
  nlohmann-json3-dev
  libcurl4-openssl-dev  # the update check's download
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  python3            # a second program reads the monitor log back in the tests
  xdotool imagemagick  # screenshots and CPU figures of the running program under Xvfb
  xcompmgr x11-xserver-utils  # translucent windows over a coloured desktop in screenshots
  libpulse-dev pulseaudio pulseaudio-utils sox  # the alarm tone and the speaker test, tested against a real sound server
  libudev-dev        # USB hot-plug of the companion keyboard
  dbus-daemon systemd  # the resume watcher on a test bus; the LCD service's unit checked by systemd-analyze
  libpugixml-dev libasio-dev  # the phone server: XML documents and sockets
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
