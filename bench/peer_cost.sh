#!/usr/bin/env bash
# What corvan3d costs beside XScreenSaver's own GL hacks, measured in one run
# on one Xvfb: each program in a 1280x720 window at its own default pace, on
# Mesa's software renderer through GLX. For each: CPU seconds of all its
# threads per second of wall time, and its resident memory, after a warm-up.
# The X server's own work is not counted for any of them.
#
# usage: bench/peer_cost.sh [CORVAN3D]   (default build/bin/corvan3d)
#   PEER_WARM=S (default 12) seconds before measuring, PEER_SECONDS=S (default 30) measured
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin/corvan3d}
hacks=/usr/libexec/xscreensaver
warm=${PEER_WARM:-12}
seconds=${PEER_SECONDS:-30}
for tool in Xvfb "$hacks/flyingtoasters" "$hacks/gears" "$hacks/glmatrix"; do
  command -v "$tool" >/dev/null || { echo "peer_cost: $tool is missing (scripts/install-deps installs it)"; exit 1; }
done

work=$(mktemp -d)
trap 'kill $(jobs -p) ${XVFB_PID:-} 2>/dev/null; rm -rf "$work"' EXIT
# Private settings (the defaults) and no other display.
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data LIBGL_ALWAYS_SOFTWARE=1
unset WAYLAND_DISPLAY
# Xvfb picks a free display and says which on its standard output.
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp +extension GLX 2>/dev/null; }
read -r -t 10 number <&"${XVFB[0]}" || true
export DISPLAY=:${number:?Xvfb did not start}

ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }   # user + system ticks, every thread
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }  # KiB

# Prints "CPU-seconds-per-second resident-MB" for the command given.
measure() {
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$warm"
  local c0 t0 c1 t1
  c0=$(cpu $pid) t0=$(date +%s.%N)
  sleep "$seconds"
  c1=$(cpu $pid) t1=$(date +%s.%N)
  local kib
  kib=$(rss $pid)
  kill $pid
  wait $pid 2>/dev/null || true
  awk -v c="$((c1 - c0))" -v hz="$ticks" -v t0="$t0" -v t1="$t1" -v k="$kib" \
    'BEGIN { printf "%.2f %d\n", c / hz / (t1 - t0), k / 1024 }'
}

echo "$(nproc) CPUs, Xvfb at 1920x1080, windows of 1280x720, ${warm} s warm-up then ${seconds} s measured"
printf '%-42s %12s %10s\n' program "CPU s per s" resident
row() {  # label command...
  local label=$1
  shift
  read -r share mb < <(measure "$@")
  printf '%-42s %12s %7s MB\n' "$label" "$share" "$mb"
}
row "corvan3d (default scene)" "$bin"
row "XScreenSaver flyingtoasters" "$hacks/flyingtoasters" -geometry 1280x720+0+0
row "XScreenSaver gears" "$hacks/gears" -geometry 1280x720+0+0
row "XScreenSaver glmatrix" "$hacks/glmatrix" -geometry 1280x720+0+0
