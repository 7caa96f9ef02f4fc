#!/usr/bin/env python3
"""The Debian package, end to end: CPack makes it from the build; its files
and control fields are checked and lintian finds no error in it; apt-get
installs it; the installed corvan3d runs offscreen with its bundle, XScreenSaver
runs it from a programs line naming just "corvan3d --root", man finds both
manual pages and the menu entries validate; apt-get purges it, and every folder
it touched holds what it held before.

It installs into /usr, so it needs root: without, it skips (and fails under
CI=true). The sanitizer build's programs are not what ships: there it skips.

usage: package_test.py CPACK BUILD_DIR VERSION [--sanitized]"""

import fcntl
import os
import shutil
import subprocess
import sys
import tempfile

from e2e import Tally, private_env, skip

if len(sys.argv) not in (4, 5):
    sys.exit(__doc__.split("\n\n")[-1])
cpack, build, version = sys.argv[1:4]
sanitized = sys.argv[4:] == ["--sanitized"]
here = os.path.dirname(os.path.abspath(__file__))
ci = os.environ.get("CI") == "true"
t = Tally()

PACKAGE = "corvan3d"
REQUIRED = {
    "usr/bin/corvan3d", "usr/bin/corvan-dosh",
    "usr/share/corvan3d/brimble.artifacts", "usr/share/corvan3d/USA.dosh", "usr/share/corvan3d/Euro.dosh",
    "usr/share/corvan3d/UK.dosh", "usr/share/corvan3d/Japan.dosh", "usr/share/corvan3d/Switzerland.dosh",
    "usr/share/xscreensaver/config/corvan3d.xml",
    "usr/share/applications/corvan3d.desktop", "usr/share/applications/corvan3d-settings.desktop",
    "usr/share/man/man6/corvan3d.6.gz", "usr/share/man/man1/corvan-dosh.1.gz",
    "usr/share/doc/corvan3d/copyright", "usr/share/doc/corvan3d/changelog.gz",
    "usr/share/doc/corvan3d/README.md",
}
# Where the package may put files at all.
PLACES = ("usr/bin/", "usr/share/corvan3d/", "usr/share/doc/corvan3d/", "usr/share/man/man1/",
          "usr/share/man/man6/", "usr/share/applications/", "usr/share/xscreensaver/config/",
          "usr/share/icons/hicolor/")
APT = ["apt-get", "-y", "-q", "--no-install-recommends", "-o", "DPkg::Lock::Timeout=300"]
TOOLS = ("dpkg-deb", "dpkg-query", "apt-get", "lintian", "man", "desktop-file-validate")


def run(*args, env=None, timeout=300):
    process = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=env,
                             timeout=timeout)
    return process.returncode, process.stdout


def installed():
    code, status = run("dpkg-query", "-W", "-f=${db:Status-Abbrev}", PACKAGE)
    return code == 0 and status.startswith("ii")


def shown(text, lines=40):
    return "\n".join("    " + line for line in text.strip().splitlines()[-lines:])


def snapshot(files):
    """The entries of every folder on the way to the package's files."""
    folders = set()
    for path in files:
        folder = os.path.dirname("/" + path)
        while folder != "/":
            folders.add(folder)
            folder = os.path.dirname(folder)
    entries = set()
    for folder in folders:
        if os.path.isdir(folder):
            # Caches the desktop's triggers rebuild are no package's files.
            entries |= {os.path.join(folder, n) for n in os.listdir(folder) if not n.endswith(".cache")}
    return entries


def make_package(out):
    """CPack, on the build as it is; gzip rather than xz, to save time."""
    code, said = run(cpack, "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out,
                     "-D", "CPACK_DEBIAN_COMPRESSION_TYPE=gzip", timeout=600)
    debs = [n for n in os.listdir(out) if n.endswith(".deb")]
    t.check(code == 0 and len(debs) == 1, "cpack makes one .deb from the build", shown(said))
    return os.path.join(out, debs[0]) if debs else None


def check_package(deb):
    arch = run("dpkg", "--print-architecture")[1].strip()
    t.check(os.path.basename(deb) == f"{PACKAGE}_{version}_{arch}.deb", "named corvan3d_VERSION_ARCH.deb", deb)

    listing = run("dpkg-deb", "-c", deb)[1].splitlines()
    files = {line.split()[-1][2:] for line in listing if not line.endswith("/")}
    t.check(REQUIRED <= files, "it holds the programs, bundle, XScreenSaver file, menu entries, manuals, docs",
            f"missing {sorted(REQUIRED - files)}")
    t.check(all(f.startswith(PLACES) for f in files), "and nothing elsewhere",
            sorted(f for f in files if not f.startswith(PLACES)))
    programs = {f for f in files if f.startswith("usr/bin/")}
    t.check(programs == {"usr/bin/corvan3d", "usr/bin/corvan-dosh"}, "its programs are corvan3d and corvan-dosh",
            sorted(programs))

    fields = dict(line.split(": ", 1) for line in
                  run("dpkg-deb", "-f", deb, "Package", "Version", "Architecture", "Depends",
                      "Suggests")[1].splitlines() if ": " in line)
    t.check((fields.get("Package"), fields.get("Version"), fields.get("Architecture")) == (PACKAGE, version, arch),
            f"control: Package {PACKAGE}, Version {version}, Architecture {arch}", fields)
    depends = fields.get("Depends", "")
    # Versions such as "libc6 (>= 2.34)" come only from dpkg-shlibdeps.
    t.check("libc6 (>= " in depends and "libsdl2" in depends and "xscreensaver" not in depends,
            "Depends comes from the programs' libraries", depends)
    t.check(fields.get("Suggests") == "xscreensaver", "xscreensaver is suggested", fields.get("Suggests"))

    code, said = run("lintian", "--fail-on", "error", deb, timeout=600)
    t.check(code == 0, "lintian finds no error", shown(said))
    tags = "\n".join(line for line in said.splitlines() if line[:2] in ("E:", "W:"))
    if tags:
        print(shown(tags))
    return files


def check_installed(home):
    env = private_env(home)
    trace = os.path.join(home, "trace.jsonl")
    code, said = run("/usr/bin/corvan3d", "--headless", "--frames", "5", "--trace", trace, env=env)
    t.check(code == 0 and " 5 frames " in said, "/usr/bin/corvan3d --headless --frames 5", shown(said))
    last = open(trace).read().splitlines()[-1] if os.path.exists(trace) else ""
    t.check('"Notes": [{' in last, "draws notes from the bundle in /usr/share/corvan3d", shown(said))

    for name, page in (("corvan3d", "/usr/share/man/man6/corvan3d.6.gz"),
                       ("corvan-dosh", "/usr/share/man/man1/corvan-dosh.1.gz")):
        code, said = run("man", "-w", name)
        t.check(code == 0 and said.strip() == page, f"man -w {name} finds {page}", said.strip())

    entries = ["/usr/share/applications/corvan3d.desktop", "/usr/share/applications/corvan3d-settings.desktop"]
    code, said = run("desktop-file-validate", *entries)
    t.check(code == 0 and not said.strip(), "desktop-file-validate passes both menu entries", shown(said))

    code, said = run(sys.executable, os.path.join(here, "xscreensaver_test.py"), "corvan3d",
                     env=dict(os.environ, PYTHONDONTWRITEBYTECODE="1"))
    t.check(code == 0 and ("skipped" not in said or not ci),
            "XScreenSaver runs the installed hack from \"corvan3d --root\"", shown(said))
    if "skipped" in said:
        print(shown(said, 2))


def main():
    if sanitized:
        skip("the package is made from the normal build, not the sanitizer build")
    if os.geteuid() != 0:
        if ci:
            t.check(False, "run as root: the package is installed into /usr")
            t.finish()
        skip("installing the package needs root")
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing:
        if ci:
            t.check(False, f"the tools are installed (scripts/install-deps): missing {missing}")
            t.finish()
        skip(f"missing {' '.join(missing)} (scripts/install-deps installs them)")
    # Another checkout's run of this test on the same machine waits for this one.
    lock = open("/run/lock/corvan3d-package-test.lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    if installed():
        t.check(False, f"{PACKAGE} is not installed already (this test installs and purges it: "
                       f"apt-get purge {PACKAGE} first)")
        t.finish()

    with tempfile.TemporaryDirectory(prefix="corvan3d-package-") as work:
        os.chmod(work, 0o755)  # apt's sandbox user reads the .deb
        deb = make_package(work)
        if deb is None:
            t.finish()
        files = check_package(deb)
        before = snapshot(files)
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        try:
            code, said = run(*APT, "install", deb, env=env, timeout=600)
            t.check(code == 0 and installed(), "apt-get install ./corvan3d_*.deb", shown(said))
            if installed():
                home = os.path.join(work, "home")
                os.mkdir(home)
                check_installed(home)
        finally:
            code, said = run(*APT, "purge", PACKAGE, env=env, timeout=600)
        t.check(code == 0 and not installed(), f"apt-get purge {PACKAGE}", shown(said))
        after = snapshot(files)
        t.check(after == before, "and leaves every folder it touched as it was",
                f"left {sorted(after - before)}, gone {sorted(before - after)}")
    t.finish()


main()
