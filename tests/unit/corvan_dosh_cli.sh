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

dosh frobnicate
expect_rc 2 "an unknown command"
grep -q "usage" "$W/err" || fail "an unknown command shows the usage"
ok "an unknown command exits 2 with the usage"

echo "$passed passed, 0 failed"
