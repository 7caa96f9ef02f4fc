#!/usr/bin/env python3
# The manual pages and the programs agree: corvan3d(6) describes exactly the
# options of corvan3d --help; corvan-dosh(1) shows every command and option of
# corvan-dosh --help; both programs and both pages carry the project's
# version; and man renders the pages without a warning.
#
# usage: manual_test.py CORVAN3D CORVAN3D_SETTINGS CORVAN_DOSH MAN_DIR VERSION
# (MAN_DIR holds the pages as the build configured them, uncompressed.)

import os, re, sys

import e2e

CORVAN3D, SETTINGS, DOSH, MAN_DIR, VERSION = sys.argv[1:6]
e2e.need("man")


def options(text):
    # Long options, as written in help (--name) or in roff (\\-\\-name).
    return set(re.findall(r"(?<![\w-])--([a-z][a-z-]*)", text.replace("\\-", "-")))


for program, name, page in (
    (CORVAN3D, "corvan3d", "corvan3d.6"),
    (SETTINGS, "corvan3d-settings", "corvan3d-settings.6"),
    (DOSH, "corvan-dosh", "corvan-dosh.1"),
):
    said, roff = e2e.run(program, "--help").stdout, open(f"{MAN_DIR}/{page}").read().replace(
        "\\-", "-"
    )
    # The saver's pages' synopsis and OPTIONS name exactly the options of --help (elsewhere corvan3d(6)
    # quotes other programs' options, systemctl's); corvan-dosh(1) names at least those, and every command.
    described = "".join(
        part for part in roff.split("\n.SH ") if part.startswith(("SYNOPSIS", "OPTIONS"))
    )
    commands = set(re.findall(rf"^  {name} ([a-z][a-z-]*)", said, re.M))
    missing = {c for c in commands if not re.search(rf"\.B {name} {c}\b", roff)} | (
        options(said) ^ options(described)
        if name != "corvan-dosh"
        else options(said) - options(roff)
    )
    e2e.check(said and not missing, f"{page} agrees with {name} --help", f"differ in {missing}")
    version = e2e.run(program, "--version").stdout
    title = roff.split("\n.TH ", 1)[1].split("\n", 1)[0]
    e2e.check(
        version == f"{name} {VERSION}\n" and f'"Corvan 3D {VERSION}"' in title,
        f"{name} --version and {page} say version {VERSION}",
        (version, title),
    )
    rendered = e2e.run(
        "man", "--warnings", "-l", f"{MAN_DIR}/{page}", env=dict(os.environ, MANWIDTH="80")
    )
    e2e.check(
        rendered.returncode == 0 and not rendered.stderr.strip(),
        f"man renders {page} without warnings",
        rendered.stderr.strip()[:500],
    )
e2e.finish()
