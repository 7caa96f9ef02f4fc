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
    # Long options, as written in help (--name) or in roff (\-\-name, made --name).
    return set(re.findall(r"(?<![\w-])--([a-z][a-z-]*)", text))


for program, name, page in (
    (CORVAN3D, "corvan3d", "corvan3d.6"),
    (SETTINGS, "corvan3d-settings", "corvan3d-settings.6"),
    (DOSH, "corvan-dosh", "corvan-dosh.1"),
):
    said, roff = e2e.run(program, "--help").stdout, open(f"{MAN_DIR}/{page}").read()
    roff = roff.replace("\\-", "-")
    # The saver's pages' synopsis and OPTIONS name exactly the options of --help (elsewhere
    # corvan3d(6) quotes other programs' options, systemctl's); corvan-dosh(1) names at least those,
    # and every command.
    parts = roff.split("\n.SH ")
    described = "".join(part for part in parts if part.startswith(("SYNOPSIS", "OPTIONS")))
    commands = set(re.findall(rf"^  {name} ([a-z][a-z-]*)", said, re.M))
    missing = {c for c in commands if not re.search(rf"\.B {name} {c}\b", roff)}
    if name == "corvan-dosh":
        missing |= options(said) - options(roff)
    else:
        missing |= options(said) ^ options(described)
    version = e2e.run(program, "--version").stdout, roff.split("\n.TH ", 1)[1].split('"')[3]
    manwidth = dict(os.environ, MANWIDTH="80")
    rendered = e2e.run("man", "--warnings", "-l", f"{MAN_DIR}/{page}", env=manwidth)
    e2e.expect(
        (bool(said), missing, version, rendered.returncode, rendered.stderr),
        (True, set(), (f"{name} {VERSION}\n", f"Corvan 3D {VERSION}"), 0, ""),
        f"{page} agrees with {name} --help and --version; man renders it without warnings",
    )
e2e.finish()
