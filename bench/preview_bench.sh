#!/usr/bin/env bash
# Frame rate of the settings window's preview: corvan3d --settings under a
# private Xvfb, on Mesa's software renderer, for SECONDS seconds (default
# 20) with the default 500 notes, each frame drawn offscreen at 480x270,
# read back and painted into the window with Cairo. The view asks for 35
# frames a second; this prints how many it got.
#
# usage: bench/preview_bench.sh [SECONDS] [CORVAN3D]   (default build/bin/corvan3d)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
bin=${2:-$root/build/bin/corvan3d}
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT

exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
until [ -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")" LIBGL_ALWAYS_SOFTWARE=1 CORVAN3D_PREVIEW_STATS=1
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" NO_AT_BRIDGE=1

"$bin" --settings &
app=$!
sleep "$seconds"
kill -TERM "$app"
wait "$app"
