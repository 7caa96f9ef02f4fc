#!/usr/bin/env python3
# The Debian package, end to end: CPack makes it from the build; its files
# are checked and lintian finds no error in it (nor a missing libc6 dependency); apt-get
# installs it; the installed corvan3d runs offscreen with its bundle, XScreenSaver
# runs it from a programs line naming just "corvan3d --root", the installed idle
# watcher starts the installed saver; apt-get purges it, and every folder it
# touched holds what it held before.
#
# It installs into /usr, so it needs root. The sanitizer build's programs are
# not what ships: there it skips.
#
# usage: package_test.py CPACK BUILD_DIR VERSION [--sanitized]

import fcntl, glob, os, sys

import e2e

CPACK, BUILD, VERSION = sys.argv[1:4]
# Where the package may put files, and what it must hold there (bin/ holds nothing else).
SHIPPED = """usr/bin/ corvan3d corvan3d-settings corvan-dosh
usr/share/xscreensaver/config/ corvan3d.xml
usr/share/corvan3d/ brimble.artifacts Euro.dosh
usr/share/doc/corvan3d/ copyright changelog.gz README.md
usr/share/man/man1/ corvan-dosh.1.gz
usr/share/man/man6/ corvan3d.6.gz corvan3d-settings.6.gz
usr/share/applications/ corvan3d.desktop corvan3d-settings.desktop
usr/share/icons/hicolor/
usr/lib/systemd/user/ corvan3d-idle.service
etc/xdg/autostart/ corvan3d-idle.desktop"""
if sys.argv[4:] == ["--sanitized"]:
    e2e.skip("the package is made from the normal build", even_in_ci=True)
if os.geteuid():
    e2e.skip("installing the package into /usr needs root")
e2e.need("dpkg-deb", "apt-get", "lintian", "xscreensaver")


def run(*args, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive")):
    # The exit status; the last 40 lines of the output of both streams are shown.
    r = e2e.run(*args, timeout=600, env=env)
    print(*(r.stdout + r.stderr).splitlines()[-40:], sep="\n")
    return r.returncode


def apt(*args):
    return run(*"apt-get -y -q --no-install-recommends -o DPkg::Lock::Timeout=300".split(), *args)


def snapshot():
    # The entries of every folder on the way to the package's files, but for caches triggers
    # rebuild.
    folders = {"/" + f[: i + 1] for f in files for i, c in enumerate(f) if c == "/"}
    return {
        f"{d}{n}" for d in folders if os.path.isdir(d) for n in os.listdir(d) if ".cache" not in n
    }


fcntl.flock(lock := open("/run/lock/corvan3d-package-test.lock", "w"), fcntl.LOCK_EX)
if os.path.exists("/usr/bin/corvan3d"):
    e2e.skip("corvan3d is installed already: purge it first")
work = e2e.make_home()
# apt's sandbox user reads the .deb
os.chmod(work, 0o755)
made = run(
    CPACK,
    *f"-G DEB --config {BUILD}/CPackConfig.cmake -B {work}".split(),
    "-D",
    "CPACK_DEBIAN_COMPRESSION_TYPE=gzip",
)
arch = e2e.run("dpkg", "--print-architecture").stdout.strip()
deb = f"{work}/corvan3d_{VERSION}_{arch}.deb"
if not e2e.expect(
    (made, glob.glob(f"{work}/*.deb")), (0, [deb]), "cpack makes one corvan3d_VERSION_ARCH.deb"
):
    e2e.finish()
listing = e2e.run("dpkg-deb", "-c", deb).stdout.splitlines()
files = {line.split()[-1][2:] for line in listing if not line.endswith("/")}
places = [line.split() for line in SHIPPED.splitlines()]
wanted = {place + name for place, *names in places for name in names}
strays = {f for f in files if not f.startswith(tuple(p[0] for p in places)) or "bin/" in f} - wanted
e2e.expect((wanted - files, strays), (set(), set()), "it holds what it must and nothing else")
# lintian fails on a file in /etc that is no conffile, and on a broken menu or autostart entry.
# The file's name carries the package, version and architecture; lintian fails on a package that
# does not depend on libc6, as one made without dpkg-shlibdeps.
e2e.expect(run("lintian", "--fail-on", "error", deb), 0, "lintian finds no error")
# The Web Page button needs xdg-open; XScreenSaver is one way to run the saver among others.
said = e2e.run("dpkg-deb", "-f", deb, "Recommends", "Suggests").stdout
e2e.expect(said, "Recommends: xdg-utils\nSuggests: xscreensaver\n", "recommends, suggests")

before = snapshot()
try:
    if e2e.expect(apt("install", deb), 0, "apt-get install ./corvan3d_*.deb"):
        trace = ["--frames", "5", "--trace", f"{work}/t"]
        drew = run("/usr/bin/corvan3d", "--headless", *trace, env=e2e.private_env(work))
        notes = '"Notes": [{' in open(f"{work}/t").read().splitlines()[-1]
        e2e.expect((drew, notes), (0, True), "/usr/bin/corvan3d draws notes from its bundle")
        for test, argument in (("xscreensaver", "corvan3d"), ("idle_x11", "/usr/bin/corvan3d")):
            # beside this script
            e2e.expect(
                run(sys.executable, f"{sys.path[0]}/{test}_test.py", argument), 0, f"{test} passes"
            )
finally:
    purged = apt("purge", "corvan3d")
after = snapshot()
e2e.expect(
    (purged, after - before, before - after),
    (0, set(), set()),
    "apt-get purge corvan3d leaves every folder it touched as it was",
)
e2e.finish()
