#!/usr/bin/env bash
# End to end checks of corvan-dosh: packing currency files from
# TGA and PNG images, describing them, taking them apart, decoding images as
# the saver does, and refusing what the saver would refuse (the limits on a
# currency are checked with the reader). The images come from the bundle the
# build drew and from bytes written here.
# Usage: corvan_dosh_cli.sh PATH/TO/corvan-dosh PATH/TO/BUNDLE
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 CORVAN_DOSH BUNDLE_FOLDER" >&2; exit 2; }
DOSH=$1
W=$(mktemp -d /tmp/corvan-dosh-cli-XXXXXX)
trap 'rm -rf "$W"' EXIT
cd "$W" || exit 1

fail() { echo "FAIL $*"; for f in out err; do echo "--- $f:"; cat "$f"; done; exit 1; }
# Runs corvan-dosh, keeping its output in out and err; it must exit with status $1.
run() {
  local want=$1 rc
  shift
  "$DOSH" "$@" >out 2>err
  rc=$?
  [ $rc -eq "$want" ] || fail "corvan-dosh $* exited with $rc, not $want"
}
# Each extended regular expression after the first argument matches a whole line of out or err.
has() {
  local file=$1
  shift
  for pattern; do
    grep -Eqx -- "$pattern" "$file" || fail "no line matching '$pattern' in $file"
  done
}
# The whole of err.
said() { [ "$(cat err)" = "$1" ] || fail "the message is not '$1'"; }

run 0 extract "$2/brimble.artifacts" 1 badge.tga  # 256x32, 24 bits
# 3x2, 32 bits, uncompressed; pixel i is (4i, 4i + 1, 4i + 2, 4i + 3) as stored.
{
  printf '\0\0\2\0\0\0\0\0\0\0\0\0\3\0\2\0\40\10'
  python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(24)))'
} >rgba.tga
printf '\0\0\2\0\0\0\0\0\0\0\0\0\3\0\1\0\20\0' >rgb16.tga  # 16 bits: not for the saver
printf '\0\0\2\0\0\0\0\0\0\0\0\0\001\020\001\0\030\0' >wide.tga  # 4097x1, no pixels

# --- pack, info, extract, decode -------------------------------------------------
run 0 pack stop.dosh --name "Stop Signs" --version 0 badge.tga:156x66:-3 "rgba.tga:120×60"
run 0 info stop.dosh
has out "  name        Stop Signs" "  version     0" \
  " +0 +1 +64 +[0-9]+ +-3 +156x66 +256x32, 24 bits" " +1 +1 +[0-9]+ +42 +0 +120x60 +3x2, 32 bits" \
  "  cost        2 notes, 256 texels a side, 24600 bytes of decoded pixels"
run 0 extract stop.dosh 0 back.tga
cmp back.tga badge.tga || fail "extract to .tga gives back the bytes packed"
run 1 extract stop.dosh 2 none.tga && has err ".*no lump 2: the file has 2 lumps"
run 0 decode rgba.tga rgba.raw && has out "3 2 32"
bgra="2 1 0 3 6 5 4 7 10 9 8 11 14 13 12 15 18 17 16 19 22 21 20 23"
[ "$(od -An -v -tu1 rgba.raw | xargs)" = "$bgra" ] ||
  fail "decode writes the pixels as the saver holds them"
# Through PNG (top row first) and back (bottom row first) every pixel stays.
run 0 decode badge.tga badge.raw
run 0 extract stop.dosh 0 badge.png
run 0 extract stop.dosh 1 rgba.png
run 0 pack png.dosh --name PNG badge.png:1x1 rgba.png:1x1:1
for i in 0 1; do run 0 extract png.dosh $i png$i.tga && run 0 decode png$i.tga png$i.raw; done
cmp png0.raw badge.raw && cmp png1.raw rgba.raw ||
  fail "PNG round trips keep every pixel and the row order"

# --- refusals, each with its whole message, writing nothing -------------------------
run 1 pack name.dosh --name "$(printf 'N%.0s' {1..40})" badge.tga:1x1 && has err ".*40 bytes.*"
run 0 pack name.dosh --name "$(printf 'N%.0s' {1..39})" badge.tga:1x1
run 1 pack bad.dosh --name Bad rgb16.tga:1x1
has err "ERROR: Invalid texture information" ".*rgb16.tga.*"
# shellcheck disable=SC2086
for args in "badge.tga:0x66" "--version 2 badge.tga:1x1" "badge.tga"; do
  run 1 pack bad.dosh --name Bad $args
done
run 1 pack bad.dosh --name Many $(for i in $(seq 65); do printf 'badge.tga:1x1 '; done)
said "corvan-dosh: 65 images: a currency holds at most 64 notes"
run 1 pack bad.dosh --name Wide wide.tga:1x1
said "wide.tga: image 4097x1, at most 4096 texels a side"
run 1 decode wide.tga wide.raw
ls bad.dosh wide.raw 2>/dev/null && fail "refusals write nothing"

echo "corvan-dosh: all checks passed"
