# corvan-dosh catalogue and fetch against servers of the test's own on
# 127.0.0.1, plain and over TLS: a catalogue made by the tool, and one written
# by Python's plistlib whose entries lead to every way a download can go wrong.
# Only the chosen currency's own file may ever be replaced, nothing partial or
# invalid installed, and every failure said once.
#
# usage: fetch_test.py CORVAN-DOSH BUNDLE-DIR

import os, plistlib, sys, tempfile

import e2e

DOSH, BUNDLE = sys.argv[1], sys.argv[2]


def read(path):
    return open(path, "rb").read() if os.path.exists(path) else None


def fetch(*args):
    return e2e.run(DOSH, "fetch", *args)


def refused(got, words, what):
    # A failed fetch that says why in one line.
    lines = got.stderr.splitlines()
    return e2e.check(
        got.returncode == 1 and len(lines) == 1 and words in lines[0], what, got.stderr
    )


with tempfile.TemporaryDirectory(prefix="corvan-fetch-") as home:
    site, into = f"{home}/site", f"{home}/data/CorvanData"
    euro, yen = read(f"{BUNDLE}/Euro.dosh"), read(f"{BUNDLE}/Japan.dosh")
    offered = {
        "Euro.dosh": euro,
        "Japan.dosh": yen,
        "Pound Sterling.dosh": read(f"{BUNDLE}/UK.dosh"),
        "broken.dosh": b"not a currency",
    }
    base, folder, made = e2e.offer(home, DOSH, offered, f"{BUNDLE}/Euro.dosh")
    e2e.check(
        made.returncode == 0
        and plistlib.loads(made.stdout.encode())
        == ["Euro;Euro.dosh", "Japanese Yen;Japan.dosh", "Pound Sterling;Pound%20Sterling.dosh"]
        and "broken.dosh: left out: not a currency file" in made.stderr,
        "the catalogue lists the valid files by name, with escaped addresses, and says what it leaves out",
        made.stdout + made.stderr,
    )
    based = plistlib.loads(
        e2e.run(DOSH, "catalogue", folder, "--base", "http://h/x/").stdout.encode()
    )
    e2e.check(based[0] == "Euro;http://h/x/Euro.dosh", "--base makes addresses absolute", based)

    # The catalogue has moved: its entries are found beside where it now is.
    got = fetch(base + "/moved.plist", "--into", into, "Pound Sterling")
    e2e.check(
        got.stdout == f'installed "Pound Sterling" as Pound Sterling.dosh into {into}\n'
        and read(f"{into}/Pound Sterling.dosh") == offered["Pound Sterling.dosh"],
        "an entry is installed into a folder made for it, beside the catalogue's final address",
        got.stdout + got.stderr,
    )
    listing = fetch(base + e2e.CATALOGUE, "--into", into).stdout.splitlines()
    e2e.check(
        len(listing) == 3 and "Pound Sterling\tPound%20Sterling.dosh\t(installed)" in listing,
        "the listing marks what the folder holds",
        listing,
    )

    # A catalogue written by other software (a binary property list), full of trouble.
    half = len(euro) // 2
    trouble = {  # entry: where it leads, what the refusal says
        "Dies": (
            "bad/broken/Euro.dosh",
            f"the server closed the connection after {half} of {len(euro)} bytes",
        ),
        "Missing": ("bad/none.dosh", "download failed: HTTP 404 http://"),
        "Stalls": ("bad/stall.dosh", "no data for 2 s"),
        "Hidden": ("bad/.hidden.dosh", 'unsafe file name ".hidden.dosh"'),
        "Query": ("bad/get.php?id=5", 'unsafe file name "get.php"'),
        "Huge": ("bad/huge.dosh", "the file is 104857600 bytes, at most 67108864"),
        "Endless": ("bad/endless.dosh", "larger than 67108864 bytes"),
        "Junk": ("bad/junk.dosh", "download failed: not a currency file: size check mismatch"),
        "Empty": ("bad/empty.dosh", "download failed: not a currency file: it is empty"),
        "Ftp": ("bad/ftp.dosh", "only http and https addresses are fetched"),
        "Loop": ("bad/loop.dosh", "more than 5 redirects"),
        "File": ("file:///etc/Euro.dosh", "only http and https"),
        "Euro": ("bad/suggests/Euro.dosh", None),
    }
    entries = [f"{name};{where}" for name, (where, _) in trouble.items()] + [7, "no separator"]
    open(f"{site}/bad.plist", "wb").write(plistlib.dumps(entries, fmt=plistlib.FMT_BINARY))
    for name, (_, words) in trouble.items():
        if words:
            refused(
                fetch(base + "/bad.plist", "--into", into, "--timeout", "2", name),
                words,
                f"{name}: refused, saying why once",
            )
    got = fetch(base + "/bad.plist", "--into", into, "Nobody")
    refused(got, '"Nobody": not in the catalogue', "a name the catalogue lacks fails the run")

    # Only the chosen currency, only over its own file: the server's suggestions and redirects change nothing.
    open(f"{into}/Euro.dosh", "wb").write(yen)
    refused(
        fetch(base + "/bad.plist", "--into", into, "Euro"),
        f'{into}/Euro.dosh is kept: it holds "Japanese Yen", not "Euro"',
        "another currency's file is kept",
    )
    e2e.currency(DOSH, BUNDLE, "Euro", f"{into}/Euro.dosh")  # an older Euro
    got = fetch(base + "/bad.plist", "--into", into, "Euro")
    e2e.check(
        got.stdout == f'installed "Euro" as Euro.dosh into {into}\n'
        and read(f"{into}/Euro.dosh") == euro
        and not os.path.exists(f"{into}/Japan.dosh"),
        "an update replaces the same currency, under the entry's name, not the one the server suggests",
        got.stdout + got.stderr,
    )
    open(f"{site}/redirect.plist", "wb").write(plistlib.dumps(["Euro;bad/redirect/Euro.dosh"]))
    refused(
        fetch(base + "/redirect.plist", "--into", into, "Euro"),
        '"Euro": download failed: the file holds "Japanese Yen", not "Euro"',
        "a redirect to another currency's file is refused",
    )
    stalled = e2e.subprocess.Popen(
        [DOSH, "fetch", base + "/bad.plist", "--into", into, "Stalls"],
        stderr=e2e.subprocess.PIPE,
        text=True,
    )
    e2e.wait_until(lambda: any(name.startswith(".") for name in os.listdir(into)), 10)
    stalled.send_signal(e2e.signal.SIGINT)
    e2e.check(
        stalled.communicate(timeout=30)[1]
        == "corvan-dosh: interrupted; nothing half arrived is left\n"
        and stalled.returncode == 130,
        "an interrupted fetch says so",
        stalled.returncode,
    )
    e2e.check(
        sorted(os.listdir(into)) == ["Euro.dosh", "Pound Sterling.dosh"],
        "failed and interrupted downloads leave nothing partial behind",
        os.listdir(into),
    )

    # Over TLS: a certificate of the test's own is trusted only when given, and https never turns to http.
    secure = e2e.serve(site, f"{BUNDLE}/Euro.dosh", tls=e2e.certificate(home), plain=base)
    ca = ("--cacert", f"{home}/cert.pem")
    refused(
        fetch(secure + e2e.CATALOGUE, "--into", into),
        "the server's certificate is not trusted",
        "an unknown certificate is refused",
    )
    got = fetch(secure + e2e.CATALOGUE, *ca, "--into", f"{home}/tls", "Japanese Yen")
    e2e.check(
        got.returncode == 0 and read(f"{home}/tls/Japan.dosh") == yen,
        "https with a trusted certificate",
        got.stdout + got.stderr,
    )
    open(f"{site}/down.plist", "wb").write(plistlib.dumps(["Euro;bad/downgrade/Euro.dosh"]))
    refused(
        fetch(secure + "/down.plist", *ca, "--into", f"{home}/tls", "Euro"),
        "a redirect from https to http is refused",
        "a redirect from https to http is refused",
    )

    open(f"{site}/big.plist", "wb").write(plistlib.dumps(["A;a.dosh"] * 70000))
    for catalogue, words in (
        ("/missing.plist", "HTTP 404"),
        ("/big.plist", "larger than 1048576 bytes"),
    ):
        refused(
            fetch(base + catalogue, "--into", into),
            words,
            f"an unreadable catalogue ({catalogue}) is said",
        )
e2e.finish()
