#!/usr/bin/env python3
"""Decodes every TGA of the shared corpus (and the variants its manifest
derives from them) with `corvan-dosh decode` and compares the result with the
manifest: size, depth and SHA-256 of the decoded bytes, or the exact alert."""
import hashlib
import json
import os
import subprocess
import sys
import tempfile


def derive(data, transform):
    data = bytearray(data)
    if transform == "zero_origin":
        data[8:12] = b"\0\0\0\0"
    elif transform == "strip_id":
        id_length = data[0]
        del data[18:18 + id_length]
        data[0] = 0
    else:
        raise ValueError("unknown transform " + transform)
    return bytes(data)


def check(tool, path, expect):
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "out.raw")
        run = subprocess.run([tool, "decode", path, out], capture_output=True, text=True)
        if not expect["ok"]:
            wanted = "ERROR" if expect["error"] != "TGA file be type 2 or type 10 " else "Invalid Image"
            wanted = wanted + ": " + expect["error"]
            if run.returncode != 1 or run.stderr.rstrip("\n") != wanted:
                return "expected %r, got exit %d and %r" % (wanted, run.returncode, run.stderr)
            return None
        if run.returncode != 0:
            return "expected success, got exit %d and %r" % (run.returncode, run.stderr)
        size = "%d %d %d" % (expect["width"], expect["height"], expect["bpp"])
        if run.stdout.strip() != size:
            return "expected %r, printed %r" % (size, run.stdout)
        with open(out, "rb") as f:
            decoded = f.read()
        if len(decoded) != expect["bytes"] or hashlib.sha256(decoded).hexdigest() != expect["sha256"]:
            return "decoded bytes differ (%d bytes)" % len(decoded)
    return None


def main():
    tool, corpora = sys.argv[1], sys.argv[2]
    folder = os.path.join(corpora, "tga")
    manifest_path = os.path.join(folder, "manifest.json")
    if not os.path.exists(manifest_path):
        print("no corpus at %s: skipped" % folder)
        return 0
    with open(manifest_path) as f:
        manifest = json.load(f)
    passed = failed = 0
    with tempfile.TemporaryDirectory() as scratch:
        cases = [(name, os.path.join(folder, name), entry) for name, entry in manifest["files"].items()]
        for name, entry in manifest.get("derived", {}).items():
            with open(os.path.join(folder, entry["source"]), "rb") as f:
                data = derive(f.read(), entry["transform"])
            path = os.path.join(scratch, name)
            with open(path, "wb") as f:
                f.write(data)
            cases.append((name, path, entry))
        for name, path, entry in sorted(cases):
            problem = check(tool, path, entry["expect"])
            if problem:
                failed += 1
                print("FAIL %s: %s" % (name, problem))
            else:
                passed += 1
                print("ok   %s" % name)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
