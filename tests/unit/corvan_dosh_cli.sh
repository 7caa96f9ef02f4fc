#!/usr/bin/env bash
# End-to-end checks of corvan-dosh: packing currency and resource files from
# TGA and PNG images, describing them, taking them apart and decoding images
# as the saver does.
# Usage: corvan_dosh_cli.sh PATH/TO/corvan-dosh PATH/TO/corpora
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 CORVAN_DOSH CORPORA_FOLDER" >&2
  exit 2
fi
DOSH=$1
TGA=$2/tga
W=$(mktemp -d /tmp/corvan-dosh-cli-XXXXXX)
trap 'rm -rf "$W"' EXIT

STOP=$TGA/zigimg_stopsignsmall.tga              # 216x480, 24 bits, raw, top-left origin
STOP_RLE=$TGA/zigimg_stopsignsmallcompressed.tga # 216x480, 24 bits, RLE, bottom-left origin
RGBA=$TGA/ftrvx_rgb32_bottom_left.tga            # 64x64, 32 bits, raw, bottom-left origin
STOP_SHA=44e14a0c5a1415f7d66cfd5c7781832d3ba51aeb456482a243be41e66fc10c60
STOP_RLE_SHA=a37f4a96b030a551bc302ac9e48d0f00ff44e2536d0f55b5164e7506b2f2480e
RGBA_SHA=e5b8c80691433c21113d740762eac455ed00bf7f1ba9b2d5d4aefa33fbae811d

passed=0
ok() {
  passed=$((passed + 1))
  echo "ok   $1"
}
fail() {
  echo "FAIL $1" >&2
  echo "--- stdout:" >&2; cat "$W/out" >&2 || true
  echo "--- stderr:" >&2; cat "$W/err" >&2 || true
  echo "$passed passed, 1 failed"
  exit 1
}
# Runs corvan-dosh, keeping its output in $W/out and $W/err and its status in rc.
dosh() {
  set +e
  "$DOSH" "$@" >"$W/out" 2>"$W/err"
  rc=$?
  set -e
}
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2 (exit status $rc, expected $1)"; }
sha() { sha256sum "$1" | cut -d' ' -f1; }

# --- packing TGA files and looking inside -------------------------------------------
dosh pack "$W/stop.dosh" --name "Stop Signs" --version 0 "$STOP:156x66:-3" "$STOP_RLE:120×60"
expect_rc 0 "pack from TGA files"
ok "pack two TGA files of the corpus into a currency"

dosh info "$W/stop.dosh"
expect_rc 0 "info on a packed currency"
grep -qx "$W/stop.dosh: currency file" "$W/out" || fail "info names the format"
grep -qx "  name        Stop Signs" "$W/out" || fail "info shows the name"
grep -qx "  version     0" "$W/out" || fail "info shows the version"
grep -qx "  lumps       2" "$W/out" || fail "info shows the number of lumps"
grep -Eqx " +0 +1 +64 +311058 +-3 +156x66 +216x480, 24 bits" "$W/out" || fail "info's line for lump 0"
grep -Eqx " +1 +1 +311122 +258621 +0 +120x60 +216x480, 24 bits" "$W/out" || fail "info's line for lump 1"
ok "info shows the header and one line per lump"

dosh extract "$W/stop.dosh" 1 "$W/back.tga"
expect_rc 0 "extract to .tga"
cmp -s "$W/back.tga" "$STOP_RLE" || fail "extract to .tga gives back the bytes packed"
ok "extract to .tga gives back the identical file"

dosh extract "$W/stop.dosh" 2 "$W/none.tga"
expect_rc 1 "extract of a lump that does not exist"
grep -q "no lump 2: the file has 2 lumps" "$W/err" || fail "extract says there is no such lump"
ok "extract refuses a lump number past the end"

# --- decoding -----------------------------------------------------------------------
dosh decode "$STOP" "$W/stop.raw"
expect_rc 0 "decode of a valid image"
[ "$(cat "$W/out")" = "216 480 24" ] || fail "decode prints WIDTH HEIGHT BITS"
[ "$(stat -c %s "$W/stop.raw")" -eq 311040 ] || fail "decode writes 216 x 480 x 3 bytes"
[ "$(sha "$W/stop.raw")" = "$STOP_SHA" ] || fail "decoded bytes of $STOP"
ok "decode writes the decoded pixels"

dosh decode "$TGA/pillow_rgba16.tga" "$W/rgba16.raw"
expect_rc 1 "decode of a 16-bit image"
[ "$(cat "$W/err")" = "ERROR: Invalid texture information" ] || fail "decode gives the decoder's alert alone"
[ ! -e "$W/rgba16.raw" ] || fail "decode writes nothing on failure"
ok "decode of a 16-bit image fails with the decoder's alert"

# --- PNG in and out -------------------------------------------------------------------
# A bottom-left image to PNG (flipped to top-down) and back (flipped back)
# decodes to the same bytes, as a 24-bit and as a 32-bit image.
dosh pack "$W/rgba.dosh" --name RGBA "$RGBA:100x100"
expect_rc 0 "pack a 32-bit TGA"
dosh extract "$W/stop.dosh" 1 "$W/stop_rle.png"
expect_rc 0 "extract a 24-bit lump to .png"
dosh extract "$W/rgba.dosh" 0 "$W/rgba.png"
expect_rc 0 "extract a 32-bit lump to .png"
dosh pack "$W/from_png.dosh" --name "From PNG" "$W/stop_rle.png:100x50" "$W/rgba.png:100x100:1"
expect_rc 0 "pack from PNG files"
for i in 0 1; do
  dosh extract "$W/from_png.dosh" $i "$W/from_png$i.tga"
  expect_rc 0 "extract lump $i of the PNG currency"
done
dosh decode "$W/from_png0.tga" "$W/p0.raw"
[ "$(cat "$W/out")" = "216 480 24" ] && [ "$(sha "$W/p0.raw")" = "$STOP_RLE_SHA" ] ||
  fail "a 24-bit image through PNG and back"
dosh decode "$W/from_png1.tga" "$W/p1.raw"
[ "$(cat "$W/out")" = "64 64 32" ] && [ "$(sha "$W/p1.raw")" = "$RGBA_SHA" ] ||
  fail "a 32-bit image through PNG and back"
ok "PNG round trips through extract and pack keep every pixel and the row order"

# A top-left image comes out top row first as well: PNG -> pack -> PNG is stable.
dosh extract "$W/stop.dosh" 0 "$W/top1.png"
dosh pack "$W/top.dosh" --name Top "$W/top1.png:1x1"
dosh extract "$W/top.dosh" 0 "$W/top2.png"
cmp -s "$W/top1.png" "$W/top2.png" || fail "a top-left image keeps its orientation through PNG"
ok "a top-left image keeps its orientation through PNG"

# --- paths with ':' and resource files --------------------------------------------------
cp "$W/back.tga" "$W/a:b.tga"
dosh pack-res "$W/art.artifacts" "$W/a:b.tga:-2" "$W/rgba.png"
expect_rc 0 "pack-res"
dosh info "$W/art.artifacts"
expect_rc 0 "info on a resource file"
grep -qx "$W/art.artifacts: resource file" "$W/out" || fail "info names the resource format"
grep -Eqx " +0 +1 +24 +258621 +-2 +216x480, 24 bits" "$W/out" || fail "info's line for resource lump 0"
grep -Eqx " +1 +1 +[0-9]+ +[0-9]+ +0 +64x64, 32 bits" "$W/out" || fail "info's line for resource lump 1"
ok "pack-res with a ':' in a path, and info on the result"

# --- refusals ------------------------------------------------------------------------------
cp "$W/stop.dosh" "$W/long.dosh"
printf 'x' >>"$W/long.dosh"
size=$(stat -c %s "$W/long.dosh")
dosh info "$W/long.dosh"
expect_rc 1 "info on a file with a byte appended"
grep -qx "$W/long.dosh: size check mismatch: file is $size bytes, header says $((size - 1))" "$W/err" ||
  fail "info says why the file is refused"
ok "info refuses a file with one byte appended"

dosh pack "$W/name.dosh" --name "$(printf 'N%.0s' {1..40})" "$STOP:1x1"
expect_rc 1 "pack with a 40-byte name"
grep -q "40 bytes" "$W/err" || fail "pack says the name is too long"
[ ! -e "$W/name.dosh" ] || fail "pack writes nothing for a bad name"
dosh pack "$W/name.dosh" --name "$(printf 'N%.0s' {1..39})" "$STOP:1x1"
expect_rc 0 "pack with a 39-byte name"
ok "pack takes a 39-byte name and refuses a 40-byte one"

dosh pack "$W/bad.dosh" --name Bad "$TGA/pillow_rgba16.tga:1x1"
expect_rc 1 "pack of an image the saver cannot decode"
grep -qx "ERROR: Invalid texture information" "$W/err" || fail "pack shows the decoder's alert"
grep -q "pillow_rgba16.tga" "$W/err" || fail "pack names the image that failed"
dosh pack "$W/bad.dosh" --name Bad "$STOP:0x66"
expect_rc 1 "pack with a zero note width"
dosh pack "$W/bad.dosh" --name Bad --version 2 "$STOP:1x1"
expect_rc 1 "pack with version 2"
dosh pack "$W/bad.dosh" --name Bad "$W/back.tga"
expect_rc 1 "pack without a note size"
[ ! -e "$W/bad.dosh" ] || fail "failed packs write nothing"
ok "pack refuses undecodable images, bad sizes and bad versions"

# --- hostile files -------------------------------------------------------------------------
# Sixty-four directory entries sharing one run-length lump that claims a
# 4096x4096 32-bit image: 4 GiB claimed by a file of 1.6 KiB.
python3 - "$W/bomb.dosh" <<'PY'
import struct, sys
tga = bytes([0, 0, 10]) + bytes(9) + struct.pack("<HHBB", 4096, 4096, 32, 0) + bytes([0xFF, 1, 2, 3, 4])
directory = b"".join(struct.pack("<6I", len(tga), 64, 1, 0, 156, 66) for _ in range(64))
size = 64 + len(tga) + len(directory)
header = b"Bomb".ljust(40, b"\0") + b"CORV" + bytes([0, 1, 0, 0]) + struct.pack("<4I", 0, 64, ~size & 0xFFFFFFFF, 64 + len(tga))
open(sys.argv[1], "wb").write(header + tga + directory)
PY
dosh info "$W/bomb.dosh"
expect_rc 1 "info on a file past the limits"
grep -qx "  limits      64 notes, 4096 texels a side, 268435456 bytes of decoded pixels" "$W/out" ||
  fail "info shows the limits"
[ "$(cat "$W/err")" = "$W/bomb.dosh: 4294967296 bytes of decoded pixels, at most 268435456" ] ||
  fail "info says which limit the file is past"
grep -q "image" "$W/out" && fail "info decodes nothing past the limits"
mkdir "$W/offered" && cp "$W/bomb.dosh" "$W/offered/"
dosh catalogue "$W/offered"
grep -qx "corvan-dosh: $W/offered/bomb.dosh: left out: past the saver's limits: 4294967296 bytes of decoded pixels, at most 268435456" "$W/err" ||
  fail "catalogue leaves out a file past the limits, undecoded"
dosh info "$W/stop.dosh"
grep -qx "  cost        2 notes, 480 texels a side, 622080 bytes of decoded pixels" "$W/out" ||
  fail "info shows what a currency costs"
ok "info applies the saver's limits before decoding anything"

dosh pack "$W/many.dosh" --name Many $(for i in $(seq 65); do printf '%s:1x1 ' "$STOP"; done)
expect_rc 1 "pack of 65 images"
[ "$(cat "$W/err")" = "corvan-dosh: 65 images: a currency holds at most 64 notes" ] || fail "pack says why"
printf '\0\0\2\0\0\0\0\0\0\0\0\0\001\020\001\0\030\0' >"$W/wide.tga"  # 4097x1, no pixels
dosh pack "$W/wide.dosh" --name Wide "$W/wide.tga:1x1"
expect_rc 1 "pack of an image 4097 texels wide"
[ "$(cat "$W/err")" = "$W/wide.tga: image 4097x1, at most 4096 texels a side" ] || fail "pack says how wide"
dosh decode "$W/wide.tga" "$W/wide.raw"
expect_rc 1 "decode of an image 4097 texels wide"
[ ! -e "$W/many.dosh" ] && [ ! -e "$W/wide.dosh" ] && [ ! -e "$W/wide.raw" ] || fail "refusals write nothing"
ok "pack and decode refuse what the saver would refuse"

mkfifo "$W/fifo.dosh" "$W/fifo.tga"
for command in "info $W/fifo.dosh" "decode $W/fifo.tga $W/fifo.raw" "pack $W/f.dosh --name F $W/fifo.tga:1x1"; do
  set +e
  # shellcheck disable=SC2086
  timeout 10 "$DOSH" $command >"$W/out" 2>"$W/err"
  rc=$?
  set -e
  expect_rc 1 "$command"
done
grep -qx "$W/fifo.tga: Is a FIFO" "$W/err" || fail "pack says the image is a FIFO"
ok "a FIFO is refused at once, never waited on"

dosh pack "$W/evil.dosh" --name "$(printf 'Evil\033]0;owned\007\033[2J')" "$STOP:1x1"
expect_rc 0 "pack with control characters in the name"
dosh info "$W/evil.dosh"
grep -qxF '  name        Evil\x1B]0;owned\x07\x1B[2J' "$W/out" || fail "info escapes the name"
grep -q "$(printf '\033')" "$W/out" && fail "no escape character reaches the terminal"
ok "info shows a name with escape sequences escaped"

dosh frobnicate
expect_rc 2 "an unknown command"
grep -q "usage" "$W/err" || fail "an unknown command shows the usage"
ok "an unknown command exits 2 with the usage"

echo "$passed passed, 0 failed"
