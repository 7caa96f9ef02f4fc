#!/usr/bin/env bash
# Headless drawing speed of corvan3d, on whatever EGL offers: a GPU through
# its device platform where there is one, else Mesa's software renderer.
# For each size and note count: frames per second, milliseconds per frame
# (wall, and CPU of all threads), and the time from start to the first
# frame.
#
# Notes are released over the first ten seconds of animated time, so each
# case runs twice on the same seed, to WARM and to WARM+MEASURED frames; the
# difference is the steady state with every note falling. Steps of 1/4 s get
# there in few frames; the cost of a frame hardly depends on the step.
#
# usage: bench/headless_bench.sh [--bin CORVAN3D] [--sizes WxH,...] [--notes N,...]
#   defaults: build/bin/corvan3d, 1280x720,1920x1080, 500,5000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/bin/corvan3d
sizes=1280x720,1920x1080
counts=500,5000
while [ $# -gt 0 ]; do
  case $1 in
    --bin) bin=$2 ;;
    --sizes) sizes=$2 ;;
    --notes) counts=$2 ;;
    *) echo "usage: $0 [--bin CORVAN3D] [--sizes WxH,...] [--notes N,...]" >&2; exit 2 ;;
  esac
  shift 2
done
warm=48       # 12 s of animated time
measured=72   # 18 s more
step=0.25

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_DATA_HOME"

# Prints "frames wall_s cpu_s first_s" for one run.
run() {  # size notes frames
  export XDG_CONFIG_HOME="$work/config-$2"
  mkdir -p "$XDG_CONFIG_HOME/corvan3d"
  # The default settings but for the notes, complete, so that no run writes the store.
  printf '[baCorvan3D]\nversion=1.1\nMainMonitorOnly=false\nSelectedCurrency=USA.dosh\nNoteSize=150\nNumNotes=%s\nRotMode=3\nZoomIn=true\nMixCurrency=false\nShowClock=false\nClock12Hr=false\nClockSize=90\nCurrencyPath2=%s\n' \
    "$2" "$XDG_DATA_HOME" >"$XDG_CONFIG_HOME/corvan3d/baCorvan3D.conf"
  "$bin" --headless --size "$1" --frames "$3" --step "$step" --seed 1 |
    sed -nE 's/.*: ([0-9]+) frames .* ([0-9.]+) ms\/frame wall, ([0-9.]+) ms\/frame CPU; first frame ([0-9.]+) s.*/\1 \2 \3 \4/p' |
    awk '{ printf "%d %.6f %.6f %s\n", $1, $1 * $2 / 1000, $1 * $3 / 1000, $4 }'
}

echo "corvan3d headless, $("$bin" --headless --frames 1 --size 16x16 | sed -nE 's/.* on (.*): [0-9.]+ frames\/s.*/\1/p')"
echo "$(nproc) CPUs; steady state over $measured frames after $warm, steps of ${step} s"
printf '%-10s %6s %10s %14s %14s %14s\n' size notes frames/s "wall ms/frame" "CPU ms/frame" "first frame s"
for size in ${sizes//,/ }; do
  for notes in ${counts//,/ }; do
    read -r _ wall1 cpu1 first < <(run "$size" "$notes" "$warm")
    read -r _ wall2 cpu2 _ < <(run "$size" "$notes" $((warm + measured)))
    awk -v s="$size" -v n="$notes" -v w1="$wall1" -v w2="$wall2" -v c1="$cpu1" -v c2="$cpu2" -v m="$measured" -v f="$first" \
      'BEGIN { w = (w2 - w1) / m; c = (c2 - c1) / m;
               printf "%-10s %6d %10.1f %14.2f %14.2f %14.3f\n", s, n, 1 / w, w * 1000, c * 1000, f }'
  done
done
