#!/usr/bin/env python3
# Decodes every TGA of the shared corpus of real-world files (and the variants
# its manifest derives from them) with `corvan-dosh decode`, the saver's own
# decoder, and compares the result with the manifest: size, depth and SHA-256
# of the decoded bytes, or the exact alert. Without the corpus it skips (exit
# 77), unless CI=true, where a missing corpus is a failure.
# Usage: tga_corpus.py PATH/TO/corvan-dosh PATH/TO/corpora
import hashlib, json, os, subprocess, sys, tempfile

tool, folder = sys.argv[1], os.path.join(sys.argv[2], "tga")
if not os.path.exists(f"{folder}/manifest.json"):
    ci = os.environ.get("CI") == "true"
    print(f"{'FAILED (CI=true)' if ci else 'skipped'}: no TGA corpus at {folder}")
    sys.exit(1 if ci else 77)
manifest = json.load(open(f"{folder}/manifest.json"))
read = lambda name: bytearray(open(f"{folder}/{name}", "rb").read())
cases = {name: (read(name), entry) for name, entry in manifest["files"].items()}
for name, entry in manifest["derived"].items():
    data = read(entry["source"])
    # the origin zeroed, or the ID field taken out
    if entry["transform"] == "zero_origin":
        data[8:12] = bytes(4)
    else:
        data[18 : 18 + data[0]], data[0] = b"", 0
    cases[name] = (data, entry)

failed = 0
with tempfile.TemporaryDirectory() as scratch:
    image, raw = f"{scratch}/in.tga", f"{scratch}/out.raw"
    for name, (data, entry) in sorted(cases.items()):
        e = entry["expect"]
        open(image, "wb").write(data)
        r = subprocess.run([tool, "decode", image, raw], capture_output=True, text=True)
        if e["ok"]:
            pixels = open(raw, "rb").read() if r.returncode == 0 else b""
            got = (r.returncode, r.stdout.strip(), hashlib.sha256(pixels).hexdigest())
            want = (0, f"{e['width']} {e['height']} {e['bpp']}", e["sha256"])
        else:
            invalid = e["error"] == "TGA file be type 2 or type 10 "
            got, want = (r.returncode, r.stderr), (1, "Invalid Image: " * invalid or "ERROR: ")
            want = (1, want[1] + e["error"] + "\n")
        if got != want:
            failed += 1
            print(f"FAILED {name}: got {got!r}, expected {want!r}")
print(f"{len(cases) - failed} of {len(cases)} corpus files decoded as expected")
sys.exit(1 if failed else 0)
