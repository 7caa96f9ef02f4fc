# corvan-dosh catalogue and fetch against servers of the test's own on
# 127.0.0.1, plain and over TLS: a catalogue made by the tool, and one written
# by Python's plistlib whose entries lead to every way a download can go wrong.
# Only the chosen currency's own file may ever be replaced, nothing partial or
# invalid installed, and every failure said once.
#
# usage: fetch_test.py CORVAN-DOSH BUNDLE-DIR

import os, plistlib, signal, subprocess, sys

import e2e

DOSH, BUNDLE = sys.argv[1], sys.argv[2]
home = e2e.make_home()
site, into = f"{home}/site", f"{home}/data/CorvanData"


def read(path):
    return open(path, "rb").read() if os.path.exists(path) else None


def fetch(url, *args, into=into):
    return e2e.run(DOSH, "fetch", url, "--into", into, *args)


def refused(got, words):
    # A failed fetch that says why, once, in one line holding words.
    lines = [words if words in line else line for line in got.stderr.splitlines()]
    e2e.expect((got.returncode, lines), (1, [words]), words)


def catalogue(name, entries, fmt=plistlib.FMT_XML):
    # A catalogue of the test's own on the site, written by plistlib.
    open(f"{site}/{name}", "wb").write(plistlib.dumps(entries, fmt=fmt))
    return name


euro, yen = read(f"{BUNDLE}/Euro.dosh"), read(f"{BUNDLE}/Japan.dosh")
pound = read(f"{BUNDLE}/UK.dosh")
files = {"Euro.dosh": euro, "Japan.dosh": yen, "Pound Sterling.dosh": pound, "broken.dosh": b"?"}
# The catalogue lists the valid files by name, with escaped addresses, and says what it leaves out.
base, folder, made = e2e.offer(home, DOSH, files)
e2e.expect(
    (made.returncode, plistlib.loads(made.stdout.encode()), made.stderr.split(": too short")[0]),
    (
        0,
        ["Euro;Euro.dosh", "Japanese Yen;Japan.dosh", "Pound Sterling;Pound%20Sterling.dosh"],
        f"corvan-dosh: {folder}/broken.dosh: left out: not a currency file",
    ),
    "catalogue",
)

# The catalogue has moved: its entries are found beside where it now is, and installed into a
# folder made for them. The listing marks what the folder holds.
got = fetch(base + "/moved.plist", "Pound Sterling")
e2e.expect(
    (got.stdout, read(f"{into}/Pound Sterling.dosh") == pound),
    (f'installed "Pound Sterling" as Pound Sterling.dosh into {into}\n', True),
    "installed",
)
listing = "Euro\tEuro.dosh\nJapanese Yen\tJapan.dosh\n"
listing += "Pound Sterling\tPound%20Sterling.dosh\t(installed)\n"
e2e.expect(fetch(base + e2e.CATALOGUE).stdout, listing, "listing")

# A catalogue written by other software (a binary property list), full of trouble. (Unsafe names and
# files that are no currency are the sheet's host tests' work.)
# entry: where it leads, what the refusal says
trouble = {
    "Dies": (
        "broken/Euro.dosh",
        f"the server closed the connection after {len(euro) // 2} of {len(euro)} bytes",
    ),
    "Missing": ("none.dosh", "HTTP 404"),
    "Stalls": ("stall.dosh", "no data for 2 s"),
    "Huge": ("huge.dosh", "the file is 104857600 bytes, at most 67108864"),
    "Endless": ("endless.dosh", "larger than 67108864 bytes"),
    "Ftp": ("ftp.dosh", "only http and https addresses are fetched"),
    "Loop": ("loop.dosh", "more than 5 redirects"),
    "Nobody": (None, '"Nobody": not in the catalogue'),
    "Euro": ("suggests/Euro.dosh", None),
    # over https only
    "Down": ("downgrade/Euro.dosh", None),
}
entries = [f"{name};bad/{where}" for name, (where, _) in trouble.items() if where]
bad = f"{base}/{catalogue('bad.plist', entries + [7, 'no separator'], plistlib.FMT_BINARY)}"
for name, (_, words) in trouble.items():
    if words:
        refused(fetch(bad, "--timeout", "2", name), words)

# Only the chosen currency, only over its own file: another currency's file is kept; an update
# replaces the same currency under the entry's name, not the one the server suggests, and a redirect
# to another currency's file is refused.
open(f"{into}/Euro.dosh", "wb").write(yen)
refused(fetch(bad, "Euro"), f'{into}/Euro.dosh is kept: it holds "Japanese Yen", not "Euro"')
# an older Euro
e2e.currency(DOSH, BUNDLE, "Euro", f"{into}/Euro.dosh")
got = fetch(bad, "Euro")
e2e.expect(
    (got.stdout, read(f"{into}/Euro.dosh") == euro, read(f"{into}/Japan.dosh")),
    (f'installed "Euro" as Euro.dosh into {into}\n', True, None),
    "updated",
)
refused(
    fetch(f"{base}/{catalogue('redirect.plist', ['Euro;bad/redirect/Euro.dosh'])}", "Euro"),
    '"Euro": download failed: the file holds "Japanese Yen", not "Euro"',
)
# An interrupted fetch says so, and failed and interrupted downloads leave nothing partial behind.
stalled = e2e.spawn(DOSH, "fetch", bad, "--into", into, "Stalls", stderr=subprocess.PIPE, text=True)
e2e.wait_until(lambda: [n for n in os.listdir(into) if n[0] == "."], 30, "a fetch under way")
stalled.send_signal(signal.SIGINT)
e2e.expect(
    (stalled.communicate(timeout=60)[1], stalled.returncode),
    ("corvan-dosh: interrupted; nothing half arrived is left\n", 130),
    "interrupted",
)
e2e.expect(
    sorted(os.listdir(into)),
    ["Euro.dosh", "Pound Sterling.dosh"],
    "nothing partial left",
)

# Over TLS: a certificate of the test's own is trusted only when given, and https never turns to
# http.
secure = e2e.serve(site, tls=e2e.certificate(home), plain=base)
ca = ("--cacert", f"{home}/cert.pem")
refused(fetch(secure + e2e.CATALOGUE), "the server's certificate is not trusted")
got = fetch(secure + e2e.CATALOGUE, *ca, "Japanese Yen", into=f"{home}/tls")
e2e.expect((got.returncode, read(f"{home}/tls/Japan.dosh") == yen), (0, True), "https")
down = fetch(f"{secure}/bad.plist", *ca, "Down", into=f"{home}/tls")
refused(down, "a redirect from https to http is refused")

catalogue("big.plist", ["A;a.dosh"] * 70000)
refused(fetch(f"{base}/big.plist"), "larger than 1048576 bytes")
e2e.finish()
