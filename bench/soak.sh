#!/usr/bin/env bash
# Long runs of corvan3d's headless host with the default settings (500 notes
# of the default currency), to see that nothing grows or drifts:
#   (a) seven days of animated time in steps of 2 s, the longest the view
#       still takes (a longer gap between ticks is skipped, not stepped);
#   (b) one hour at the real step of 1/35 s.
# For each it prints, from the host's --stats, the resident memory at 10 % and
# at 100 % of the run, the GL textures and display lists alive at both, and
# whether every note and the camera still hold finite numbers at the end.
# Then it sets the resident memory of the default scene at 1920x1080 against
# an empty scene (no currency, no artwork) after 120 s of animated time, with
# the texel bytes the default scene's textures hold.
#
# Exits 1 when a run ends with anything not finite or with GL objects gained
# or lost; memory is reported, not judged.
#
# usage: bench/soak.sh [CORVAN3D]   (default build/bin/corvan3d)
#   SOAK_SIZE=WxH   the view of the two long runs (default 640x360: the
#                   software renderer's cost per pixel is not what is soaked)
#   SOAK_SCALE=N    shortens the two long runs N-fold, for a quick try
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin/corvan3d}
size=${SOAK_SIZE:-640x360}
scale=${SOAK_SCALE:-1}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LIBGL_ALWAYS_SOFTWARE=1 XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

# The fields of one --stats line: frame resident_kib notes finite camera
# textures texel_bytes lists animated_s.
fields() {
  sed -nE 's/.*stats at frame ([0-9]+) of [0-9]+, ([0-9]+) s animated: resident (-?[0-9]+) KiB; notes ([0-9]+) of ([0-9]+) finite; camera ([A-Z a-z]+); GL textures ([0-9]+) \(([0-9]+) bytes of texels\), display lists ([0-9]+)/\1 \3 \4 \5 \6 \7 \8 \9 \2/p' |
    sed 's/NOT FINITE/not-finite/'
}

status=0
soak() {  # label step frames
  "$bin" --headless --stats --size "$size" --step "$2" --frames "$3" --seed 1 >"$work/out" 2>"$work/err" || {
    echo "$1: corvan3d failed:" >&2
    cat "$work/err" >&2
    status=1
    return
  }
  fields <"$work/out" >"$work/stats"
  read -r _ rss1 _ _ _ tex1 _ lists1 _ < <(sed -n 1p "$work/stats")
  read -r frames rss2 finite notes camera tex2 _ lists2 animated < <(sed -n 2p "$work/stats")
  awk -v l="$1" -v f="$frames" -v a="$animated" \
      -v r1="$rss1" -v r2="$rss2" -v n="$finite/$notes" -v c="$camera" -v t="$tex1 -> $tex2" -v d="$lists1 -> $lists2" \
      'BEGIN { printf "%-28s %8d %10d %10d KiB %10d KiB %+6d KiB %14s %8s %12s %12s\n", l, f, a, r1, r2, r2 - r1, n, c, t, d }'
  if [ "$finite" != "$notes" ] || [ "$camera" != finite ] || [ "$tex1" != "$tex2" ] || [ "$lists1" != "$lists2" ]; then
    status=1
  fi
}

echo "corvan3d soak at $size, $(nproc) CPUs, $("$bin" --headless --frames 1 --size 16x16 | sed -nE 's/.* on (.*): [0-9.]+ frames\/s.*/\1/p')"
printf '%-28s %8s %10s %14s %14s %10s %14s %8s %12s %12s\n' run frames "animated s" "resident 10%" "resident 100%" \
  growth "notes finite" camera textures "lists"
soak "(a) 7 days in 2 s steps" 2 $((7 * 24 * 3600 / 2 / scale))
soak "(b) 1 hour at 1/35 s" 1/35 $((3600 * 35 / scale))

# The same 120 s of animated time at 1920x1080 (past the intro and the first
# band and banner, whose drawing costs the renderer memory of its own), with
# the bundle and with an empty one (no currencies, no artwork: a black scene).
mkdir -p "$work/empty"
"$bin" --headless --stats --size 1920x1080 --step 0.25 --frames 480 --seed 1 | fields | tail -n 1 >"$work/full"
CORVAN3D_DATA_DIR="$work/empty" "$bin" --headless --stats --size 1920x1080 --step 0.25 --frames 480 --seed 1 \
  2>/dev/null | fields | tail -n 1 >"$work/bare"
read -r _ full _ _ _ textures texels lists _ <"$work/full"
read -r _ bare _ _ _ _ _ _ _ <"$work/bare"
echo
echo "1920x1080 after 120 s: default scene $full KiB resident, empty scene $bare KiB, difference $((full - bare)) KiB;"
echo "the default scene holds $textures textures of $((texels / 1024)) KiB of texels and $lists display lists"
exit $status
