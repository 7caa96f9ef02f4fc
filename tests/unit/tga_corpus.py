#!/usr/bin/env python3
# Decodes every TGA of the shared corpus of real-world files (and the variants
# its manifest derives from them) with `corvan-dosh decode`, the saver's own
# decoder, and compares the result with the manifest: size, depth and SHA-256
# of the decoded bytes, or the exact alert. Without the corpus it skips (exit
# 77), unless CI=true, where a missing corpus is a failure.
# Usage: tga_corpus.py PATH/TO/corvan-dosh PATH/TO/corpora
import hashlib, json, os, subprocess, sys, tempfile

tool, folder = sys.argv[1], os.path.join(sys.argv[2], "tga")
if not os.path.exists(folder + "/manifest.json"):
    ci = os.environ.get("CI") == "true"
    print("%s: no TGA corpus at %s" % ("FAIL (CI=true)" if ci else "SKIPPED", folder))
    sys.exit(1 if ci else 77)
manifest = json.load(open(folder + "/manifest.json"))
read = lambda name: bytearray(open(folder + "/" + name, "rb").read())
cases = {name: (read(name), entry) for name, entry in manifest["files"].items()}
for name, entry in manifest.get("derived", {}).items():
    data = read(entry["source"])
    if entry["transform"] == "zero_origin":
        data[8:12] = bytes(4)
    else:  # strip_id
        data[18 : 18 + data[0]], data[0] = b"", 0
    cases[name] = (data, entry)

failed = 0
with tempfile.TemporaryDirectory() as scratch:
    for name, (data, entry) in sorted(cases.items()):
        e = entry["expect"]
        open(scratch + "/in.tga", "wb").write(data)
        run = subprocess.run(
            [tool, "decode", scratch + "/in.tga", scratch + "/out"], text=True, capture_output=True
        )
        if e["ok"]:
            pixels = open(scratch + "/out", "rb").read() if run.returncode == 0 else b""
            got = (
                run.returncode,
                run.stdout.strip(),
                hashlib.sha256(pixels).hexdigest(),
                len(pixels),
            )
            want = (0, "%(width)d %(height)d %(bpp)d" % e, e["sha256"], e["bytes"])
        else:
            got = (run.returncode, run.stderr.rstrip("\n"))
            caption = "Invalid Image: " if e["error"].startswith("TGA file be") else "ERROR: "
            want = (1, caption + e["error"])
        if got != want:
            failed += 1
            print("FAIL %s: got %r, expected %r" % (name, got, want))
print("%d of %d corpus files decoded as expected" % (len(cases) - failed, len(cases)))
sys.exit(1 if failed else 0)
