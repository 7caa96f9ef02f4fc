# corvan-dosh catalogue and fetch against a server of the test's own on
# 127.0.0.1: a catalogue made by the tool, and one written by Python's plistlib
# whose entries lead to every way a download can go wrong. Nothing may be
# written outside the currency folder, nothing partial or invalid installed,
# and every failure said.
#
# usage: fetch_test.py CORVAN-DOSH BUNDLE-DIR

import os, plistlib, sys, tempfile

import e2e

DOSH, BUNDLE = sys.argv[1], sys.argv[2]
TROUBLE = {  # entry: where it leads, what the refusal says
    "Dies": ("bad/broken/Euro.dosh", "download failed:"), "Missing": ("bad/none.dosh", "returned error: 404"),
    "Stalls": ("bad/stall.dosh", "too slow"), "Hidden": ("bad/hidden", 'unsafe file name ".hidden.dosh"'),
    "Huge": ("bad/huge.dosh", "the file is 104857600 bytes, at most 67108864"),
    "Endless": ("bad/endless.dosh", "larger than 67108864 bytes"), "Junk": ("bad/junk.dosh", "not a currency file"),
    "Ftp": ("bad/ftp", "download failed:"), "Loop": ("bad/loop", "redirects"),
    "File": ("file:///etc/passwd", "only http and https"), "Escapes": ("bad/disposition", None)}


def read(path):
    return open(path, "rb").read() if os.path.exists(path) else None


with tempfile.TemporaryDirectory(prefix="corvan-fetch-") as home:
    site, into = f"{home}/site", f"{home}/data/CorvanData"
    offered = {f"{as_name}.dosh": read(f"{BUNDLE}/{name}.dosh") for name, as_name in (
        ("Euro", "Euro"), ("Japan", "Japan"), ("UK", "Pound Sterling"))} | {"broken.dosh": b"not a currency"}
    base, folder, made = e2e.offer(home, DOSH, offered, f"{BUNDLE}/Euro.dosh")
    e2e.check(made.returncode == 0 and plistlib.loads(made.stdout.encode()) == [
        "Euro;Euro.dosh", "Japanese Yen;Japan.dosh", "Pound Sterling;Pound%20Sterling.dosh"]
        and "broken.dosh: left out: not a currency file" in made.stderr,
        "the catalogue lists the valid files by name, with escaped addresses, and says what it leaves out",
        made.stdout + made.stderr)
    based = plistlib.loads(e2e.run(DOSH, "catalogue", folder, "--base", "http://h/x/").stdout.encode())
    e2e.check(based[0] == "Euro;http://h/x/Euro.dosh", "--base makes addresses absolute", based)

    got = e2e.run(DOSH, "fetch", base + e2e.CATALOGUE, "--into", into, "Pound Sterling")
    e2e.check(got.returncode == 0 and read(f"{into}/Pound Sterling.dosh") == read(f"{BUNDLE}/UK.dosh"),
              "an entry is installed into a folder made for it", got.stdout + got.stderr)
    listing = e2e.run(DOSH, "fetch", base + e2e.CATALOGUE, "--into", into).stdout.splitlines()
    e2e.check(len(listing) == 3 and "Pound Sterling\tPound%20Sterling.dosh\t(installed)" in listing,
              "the listing marks what the folder holds", listing)

    # A catalogue written by other software (a binary property list), full of trouble.
    open(f"{into}/Euro.dosh", "wb").write(b"the old file")
    entries = [f"{name};{where}" for name, (where, _) in TROUBLE.items()] + [7, "no separator"]
    open(f"{site}/bad.plist", "wb").write(plistlib.dumps(entries, fmt=plistlib.FMT_BINARY))
    for name, (_, words) in TROUBLE.items():
        if words:
            got = e2e.run(DOSH, "fetch", base + "/bad.plist", "--into", into, "--timeout", "2", name)
            e2e.check(got.returncode == 1 and words in got.stderr, f"{name}: refused, saying why", got.stderr)
    got = e2e.run(DOSH, "fetch", base + "/bad.plist", "--into", into, "Escapes", "Nobody")
    e2e.check(got.returncode == 1 and '"Nobody": not in the catalogue' in got.stderr,
              "a name the catalogue lacks fails the run", got.stderr)
    e2e.check(read(f"{into}/Escaped.dosh") == read(f"{BUNDLE}/Euro.dosh") and not os.path.exists(
        f"{home}/Escaped.dosh") and not os.path.exists(f"{home}/data/Escaped.dosh"),
        "a suggested path is cut to a name in the folder")
    e2e.check(read(f"{into}/Euro.dosh") == b"the old file" and
              sorted(os.listdir(into)) == ["Escaped.dosh", "Euro.dosh", "Pound Sterling.dosh"],
              "failed downloads leave the old file alone and nothing partial behind", os.listdir(into))
    got = e2e.run(DOSH, "fetch", base + e2e.CATALOGUE, "--into", into, "Euro")
    e2e.check(got.returncode == 0 and read(f"{into}/Euro.dosh") == read(f"{BUNDLE}/Euro.dosh"),
              "an existing file is replaced")

    open(f"{site}/big.plist", "wb").write(plistlib.dumps(["A;a.dosh"] * 70000))
    for catalogue, words in (("/missing.plist", "404"), ("/big.plist", "larger than 1048576 bytes")):
        got = e2e.run(DOSH, "fetch", base + catalogue, "--into", into)
        e2e.check(got.returncode == 1 and words in got.stderr, f"an unreadable catalogue ({catalogue}) is said",
                  got.stderr)
e2e.finish()
