#!/usr/bin/env python3
# Decodes every TGA of the shared corpus of real-world files (and the variants
# its manifest derives from them) with `corvan-dosh decode`, the saver's own
# decoder, and compares the result with the manifest: size, depth and SHA-256
# of the decoded bytes, or the exact alert. Without the corpus it skips (exit
# 77), unless CI=true, where a missing corpus is a failure.
# Usage: tga_corpus.py PATH/TO/corvan-dosh PATH/TO/corpora
import hashlib, json, os, subprocess, sys, tempfile

tool, folder = sys.argv[1], os.path.join(sys.argv[2], "tga")
if not os.path.exists(os.path.join(folder, "manifest.json")):
    ci = os.environ.get("CI") == "true"
    print("%s: no TGA corpus at %s" % ("FAIL (CI=true)" if ci else "SKIPPED", folder))
    sys.exit(1 if ci else 77)
manifest = json.load(open(os.path.join(folder, "manifest.json")))

failed = 0
with tempfile.TemporaryDirectory() as scratch:
    cases = {
        name: (open(os.path.join(folder, name), "rb").read(), entry)
        for name, entry in manifest["files"].items()
    }
    for name, entry in manifest.get("derived", {}).items():
        data = bytearray(open(os.path.join(folder, entry["source"]), "rb").read())
        if entry["transform"] == "zero_origin":
            data[8:12] = bytes(4)
        else:  # strip_id
            data[18 : 18 + data[0]], data[0:1] = b"", b"\0"
        cases[name] = (bytes(data), entry)
    for name, (data, entry) in sorted(cases.items()):
        expect, image, raw = (
            entry["expect"],
            os.path.join(scratch, name),
            os.path.join(scratch, "out.raw"),
        )
        open(image, "wb").write(data)
        run = subprocess.run([tool, "decode", image, raw], capture_output=True, text=True)
        if expect["ok"]:
            got = (
                run.returncode,
                run.stdout.strip(),
                open(raw, "rb").read() if run.returncode == 0 else b"",
            )
            got = got[:2] + (hashlib.sha256(got[2]).hexdigest(), len(got[2]))
            want = (
                0,
                "%d %d %d" % (expect["width"], expect["height"], expect["bpp"]),
                expect["sha256"],
                expect["bytes"],
            )
        else:
            caption = (
                "Invalid Image" if expect["error"] == "TGA file be type 2 or type 10 " else "ERROR"
            )
            got, want = (run.returncode, run.stderr.rstrip("\n")), (
                1,
                caption + ": " + expect["error"],
            )
        if got != want:
            failed += 1
            print("FAIL %s: got %r, expected %r" % (name, got, want))
print("%d of %d corpus files decoded as expected" % (len(cases) - failed, len(cases)))
sys.exit(1 if failed else 0)
