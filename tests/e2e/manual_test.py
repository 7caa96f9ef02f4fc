#!/usr/bin/env python3
# The manual pages and the programs agree: each page describes every option
# of its program's --help, and both carry the project's version.
#
# usage: manual_test.py CORVAN3D CORVAN3D_SETTINGS CORVAN_DOSH MAN_DIR VERSION
# (MAN_DIR holds the pages as the build configured them, uncompressed.)

import os, re, sys

import e2e

CORVAN3D, SETTINGS, DOSH, MAN_DIR, VERSION = sys.argv[1:6]


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
    # Every option of --help is described (a page may quote other programs' options too).
    missing = options(said) - options(roff)
    version = e2e.run(program, "--version").stdout, roff.split("\n.TH ", 1)[1].split('"')[3]
    e2e.expect(
        (bool(said), missing, version),
        (True, set(), (f"{name} {VERSION}\n", f"Corvan 3D {VERSION}")),
        f"{page} agrees with {name} --help and --version",
    )
e2e.finish()
