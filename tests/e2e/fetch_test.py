"""corvan-dosh catalogue and fetch against a server of the test's own on
127.0.0.1: a catalogue made by the tool, and one written by Python's plistlib
whose entries lead to every way a download can go wrong. Nothing may be
written outside the currency folder, nothing partial or invalid installed,
and every failure said.

usage: fetch_test.py CORVAN-DOSH BUNDLE-DIR"""

import os
import plistlib
import shutil
import subprocess
import sys

import e2e

DOSH, BUNDLE = sys.argv[1], sys.argv[2]
CATALOGUE = "/mac/zips/corvan/corvanCurrencies-v11.plist"


def run(*args, timeout=60):
    return subprocess.run([DOSH, *args], capture_output=True, text=True, timeout=timeout)


def main():
    tally = e2e.Tally()
    with e2e.temp_folder("corvan-fetch-") as home:
        site = os.path.join(home, "site")
        offered = os.path.join(site, "mac/zips/corvan")
        os.makedirs(offered)
        for name in ("Euro.dosh", "Japan.dosh"):
            shutil.copy(os.path.join(BUNDLE, name), offered)
        shutil.copy(os.path.join(BUNDLE, "UK.dosh"), os.path.join(offered, "Pound Sterling.dosh"))
        open(os.path.join(offered, "broken.dosh"), "wb").write(b"not a currency")

        made = run("catalogue", offered)
        entries = plistlib.loads(made.stdout.encode())
        tally.check(made.returncode == 0 and entries == [
            "Euro;Euro.dosh", "Japanese Yen;Japan.dosh", "Pound Sterling;Pound%20Sterling.dosh"],
            "the catalogue lists the valid files by name, with escaped addresses", made.stdout + made.stderr)
        tally.check("broken.dosh: left out: not a currency file" in made.stderr, "an invalid file is left out, said")
        based = plistlib.loads(run("catalogue", offered, "--base", "http://h/x/").stdout.encode())
        tally.check(based[0] == "Euro;http://h/x/Euro.dosh", "--base makes absolute addresses", str(based))
        open(os.path.join(site, CATALOGUE.lstrip("/")), "w").write(made.stdout)

        server = e2e.serve(site, os.path.join(BUNDLE, "Euro.dosh"))
        base = f"http://127.0.0.1:{server.server_port}"
        into = os.path.join(home, "data", "CorvanData")

        got = run("fetch", base + CATALOGUE, "--into", into, "Pound Sterling")
        installed = os.path.join(into, "Pound Sterling.dosh")
        tally.check(got.returncode == 0 and os.path.exists(installed)
                    and open(installed, "rb").read() == open(os.path.join(BUNDLE, "UK.dosh"), "rb").read(),
                    "an entry is installed into a folder made for it", got.stdout + got.stderr)
        listing = run("fetch", base + CATALOGUE, "--into", into).stdout.splitlines()
        tally.check("Pound Sterling\tPound%20Sterling.dosh\t(installed)" in listing and len(listing) == 3,
                    "the listing marks what the folder holds", str(listing))

        # A catalogue written by other software (a binary property list), full of trouble.
        open(os.path.join(into, "Euro.dosh"), "wb").write(b"the old file")
        bad = {"Dies": "bad/broken/Euro.dosh", "Missing": "bad/none.dosh", "Stalls": "bad/stall.dosh",
               "Escapes": "bad/disposition", "Hidden": "bad/hidden", "Huge": "bad/huge.dosh",
               "Endless": "bad/endless.dosh", "Junk": "bad/junk.dosh", "Ftp": "bad/ftp", "Loop": "bad/loop",
               "File": "file:///etc/passwd"}
        plist = plistlib.dumps([f"{k};{v}" for k, v in bad.items()] + [7, "no separator"],
                               fmt=plistlib.FMT_BINARY)
        open(os.path.join(site, "bad.plist"), "wb").write(plist)
        expected = {
            "Dies": "download failed:", "Missing": "returned error: 404", "Stalls": "too slow",
            "Hidden": 'unsafe file name ".profile"', "Huge": "the file is 104857600 bytes, at most 67108864",
            "Endless": "larger than 67108864 bytes", "Junk": "not a currency file", "Ftp": "download failed:",
            "Loop": "redirects", "File": "only http and https"}
        for name, words in expected.items():
            got = run("fetch", base + "/bad.plist", "--into", into, "--timeout", "2", name)
            tally.check(got.returncode == 1 and words in got.stderr, f"{name}: refused, saying why",
                        got.stderr.strip())
        got = run("fetch", base + "/bad.plist", "--into", into, "Escapes", "Nobody")
        tally.check(got.returncode == 1 and "\"Nobody\": not in the catalogue" in got.stderr,
                    "a name the catalogue lacks fails the run", got.stderr)
        tally.check(os.path.exists(os.path.join(into, "Escaped.dosh")) and
                    not os.path.exists(os.path.join(home, "Escaped.dosh")) and
                    not os.path.exists(os.path.join(home, "data", "Escaped.dosh")),
                    "a suggested path is reduced to a name inside the folder")
        tally.check(open(os.path.join(into, "Euro.dosh"), "rb").read() == b"the old file",
                    "failed downloads leave the old file alone")
        tally.check(sorted(os.listdir(into)) == ["Escaped.dosh", "Euro.dosh", "Pound Sterling.dosh"],
                    "nothing partial is left behind", str(os.listdir(into)))
        got = run("fetch", base + CATALOGUE, "--into", into, "Euro")
        tally.check(got.returncode == 0 and open(os.path.join(into, "Euro.dosh"), "rb").read()
                    == open(os.path.join(BUNDLE, "Euro.dosh"), "rb").read(), "an existing file is replaced")
        got = run("fetch", base + "/missing.plist", "--into", into)
        tally.check(got.returncode == 1 and "404" in got.stderr, "an unreadable catalogue is said", got.stderr)
        open(os.path.join(site, "big.plist"), "wb").write(plistlib.dumps(["A;a.dosh"] * 70000))
        got = run("fetch", base + "/big.plist", "--into", into)
        tally.check(got.returncode == 1 and "larger than 1048576 bytes" in got.stderr,
                    "a catalogue over 1 MiB is refused", got.stderr)
        server.shutdown()
    tally.finish()


main()
