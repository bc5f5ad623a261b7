#!/usr/bin/env bash
# Installs what is missing, builds, and starts Veltrix Plus on the built-in simulated rig.
# Extra arguments go to the program, e.g. scripts/run.sh --headless
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
BUILD_TARGET=veltrix-plus "$root/scripts/build.sh"
args=("$@")
have_simulate=0
for a in "${args[@]}"; do [[ "$a" == --simulate* ]] && have_simulate=1; done
[ $have_simulate -eq 1 ] || args=(--simulate "${args[@]}")
# Without a display the application runs headless.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  case " ${args[*]} " in *" --headless "*) ;; *) args+=(--headless) ;; esac
fi
exec "${BUILD_DIR:-$root/build}/veltrix-plus" "${args[@]}"
