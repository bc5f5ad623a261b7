#!/usr/bin/env bash
# Installs what is missing, builds, and starts Veltrix Plus on the built-in simulated rig
# (a window when a display is available, otherwise headless). Extra arguments go to the
# program, e.g. scripts/run.sh --simulate=assets/rigs/legacy.json
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
BUILD_TARGET=veltrix-plus "$root/scripts/build.sh"
args=("$@")
case " ${args[*]:-} " in *" --simulate"*) ;; *) args=(--simulate "${args[@]}") ;; esac
exec "${BUILD_DIR:-$root/build}/veltrix-plus" "${args[@]}"
