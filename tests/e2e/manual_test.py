#!/usr/bin/env python3
"""The manual pages and the programs agree: every option corvan3d --help
names is in corvan3d(6) and the page names no other; every command and
option of corvan-dosh --help is in corvan-dosh(1); both programs and both
pages carry the project's version; and man renders the pages without a
warning.

usage: manual_test.py CORVAN3D CORVAN_DOSH MAN_DIR VERSION
(MAN_DIR holds the pages as the build configured them, uncompressed.)"""

import os
import re
import shutil
import subprocess
import sys

from e2e import Tally

if len(sys.argv) != 5:
    sys.exit(__doc__.split("\n\n")[1])
corvan3d, dosh, man_dir, version = sys.argv[1:5]
t = Tally()


def output(*args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=30).stdout


def page(name):
    return open(os.path.join(man_dir, name)).read()


def options(text):
    """Long options, as written in help (--name) or in roff (\\-\\-name)."""
    return set(re.findall(r"(?<![\w-])--([a-z][a-z-]*)", text.replace("\\-", "-")))


def main():
    saver_help, saver_page = output(corvan3d, "--help"), page("corvan3d.6")
    t.check(options(saver_help) == options(saver_page), "corvan3d --help and corvan3d(6) name the same options",
            f"only in --help: {sorted(options(saver_help) - options(saver_page))}, "
            f"only in the page: {sorted(options(saver_page) - options(saver_help))}")

    dosh_help, dosh_page = output(dosh, "--help"), page("corvan-dosh.1")
    roff = dosh_page.replace("\\-", "-")
    commands = set(re.findall(r"^  corvan-dosh ([a-z][a-z-]*)", dosh_help, re.M))
    missing = sorted(c for c in commands if not re.search(rf"\.B corvan-dosh {c}\b", roff))
    t.check(commands and not missing, "corvan-dosh(1) shows every command of corvan-dosh --help",
            f"missing {missing}")
    t.check(options(dosh_help) <= options(dosh_page), "and every option",
            f"missing {sorted(options(dosh_help) - options(dosh_page))}")

    for program, name in ((corvan3d, "corvan3d"), (dosh, "corvan-dosh")):
        said = output(program, "--version").strip()
        t.check(said == f"{name} {version}", f"{name} --version says {name} {version}", said)
    for name in ("corvan3d.6", "corvan-dosh.1"):
        t.check(f'"Corvan 3D {version}"' in page(name).split("\n.TH ", 1)[1].split("\n", 1)[0],
                f"{name} carries the version")

    if shutil.which("man") is None:
        t.check(os.environ.get("CI") != "true", "man is installed (needed under CI=true)")
    else:
        for name in ("corvan3d.6", "corvan-dosh.1"):
            run = subprocess.run(["man", "--warnings", "-l", os.path.join(man_dir, name)], env=dict(
                os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0"), stdout=subprocess.DEVNULL,
                stderr=subprocess.PIPE, text=True, timeout=60)
            t.check(run.returncode == 0 and not run.stderr.strip(), f"man renders {name} without warnings",
                    run.stderr.strip()[:500])
    t.finish()


main()
