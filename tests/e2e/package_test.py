#!/usr/bin/env python3
# The Debian package, end to end: CPack makes it from the build; its files
# and control fields are checked and lintian finds no error in it; apt-get
# installs it; the installed corvan3d runs offscreen with its bundle, XScreenSaver
# runs it from a programs line naming just "corvan3d --root", the installed idle
# watcher starts the installed saver, man finds both manual pages and the menu
# and autostart entries validate; apt-get purges it, and every folder it touched
# holds what it held before.
#
# It installs into /usr, so it needs root. The sanitizer build's programs are
# not what ships: there it skips.
#
# usage: package_test.py CPACK BUILD_DIR VERSION [--sanitized]

import fcntl, os, sys, tempfile

import e2e

CPACK, BUILD, VERSION = sys.argv[1:4]
SHIPPED = {  # where the package may put files, and what it must hold there
    "usr/bin/": ["corvan3d", "corvan3d-settings", "corvan-dosh"],
    "usr/share/xscreensaver/config/": ["corvan3d.xml"],
    "usr/share/corvan3d/": [
        "brimble.artifacts",
        "USA.dosh",
        "Euro.dosh",
        "UK.dosh",
        "Japan.dosh",
        "Switzerland.dosh",
    ],
    "usr/share/doc/corvan3d/": ["copyright", "changelog.gz", "README.md"],
    "usr/share/man/man1/": ["corvan-dosh.1.gz"],
    "usr/share/applications/": ["corvan3d.desktop", "corvan3d-settings.desktop"],
    "usr/share/man/man6/": ["corvan3d.6.gz", "corvan3d-settings.6.gz"],
    "usr/share/icons/hicolor/": [],
    "usr/lib/systemd/user/": ["corvan3d-idle.service"],
    "etc/xdg/autostart/": ["corvan3d-idle.desktop"],
}
APT = ["apt-get", "-y", "-q", "--no-install-recommends", "-o", "DPkg::Lock::Timeout=300"]
if sys.argv[4:] == ["--sanitized"]:
    e2e.skip("the package is made from the normal build, not the sanitizer build", even_in_ci=True)
if os.geteuid() != 0:
    e2e.skip("installing the package into /usr needs root")
e2e.need(
    "dpkg-deb", "dpkg-query", "apt-get", "lintian", "man", "desktop-file-validate", "xscreensaver"
)


def run(*args, **kwargs):
    # The exit status, and the last 40 lines of the output of both streams.
    r = e2e.run(*args, timeout=600, **kwargs)
    return r.returncode, "\n".join(
        ("    " + line) for line in (r.stdout + r.stderr).strip().splitlines()[-40:]
    )


def installed():
    return e2e.run("dpkg-query", "-W", "-f=${db:Status-Abbrev}", "corvan3d").stdout.startswith("ii")


def snapshot(files):
    # The entries of every folder on the way to the package's files, but for caches triggers rebuild.
    folders = {"/".join(f.split("/")[:i]) for f in files for i in range(1, f.count("/") + 1)}
    return {
        f"/{d}/{n}"
        for d in folders
        if os.path.isdir(f"/{d}")
        for n in os.listdir(f"/{d}")
        if not n.endswith(".cache")
    }


fcntl.flock(
    lock := open("/run/lock/corvan3d-package-test.lock", "w"), fcntl.LOCK_EX
)  # held: others wait
if installed():
    e2e.skip(
        "corvan3d is installed already; this test installs and purges it: apt-get purge corvan3d first"
    )
with tempfile.TemporaryDirectory(prefix="corvan3d-package-") as work:
    os.chmod(work, 0o755)  # apt's sandbox user reads the .deb
    code, said = run(
        CPACK,
        "-G",
        "DEB",
        "--config",
        f"{BUILD}/CPackConfig.cmake",
        "-B",
        work,
        "-D",
        "CPACK_DEBIAN_COMPRESSION_TYPE=gzip",
    )  # gzip rather than xz, to save time
    arch = e2e.run("dpkg", "--print-architecture").stdout.strip()
    deb = f"{work}/corvan3d_{VERSION}_{arch}.deb"
    if not e2e.check(
        code == 0
        and [n for n in os.listdir(work) if n.endswith(".deb")] == [os.path.basename(deb)],
        "cpack makes one corvan3d_VERSION_ARCH.deb from the build",
        said,
    ):
        e2e.finish()
    listing = e2e.run("dpkg-deb", "-c", deb).stdout.splitlines()
    files = {line.split()[-1][2:] for line in listing if not line.endswith("/")}
    wanted = {place + name for place, names in SHIPPED.items() for name in names}
    strays = {f for f in files if not f.startswith(tuple(SHIPPED))} | (
        {f for f in files if "/bin/" in f} - wanted
    )
    e2e.check(
        wanted <= files and not strays,
        "it holds the programs, bundle, XScreenSaver file, menu entries, "
        "idle watcher's unit and autostart entry, manuals and docs, and nothing else",
        f"missing {wanted - files}, also {strays}",
    )
    conffiles = e2e.run("dpkg-deb", "--info", deb, "conffiles").stdout
    e2e.check(
        conffiles == "/etc/xdg/autostart/corvan3d-idle.desktop\n",
        "its file in /etc is a conffile",
        conffiles,
    )
    said = e2e.run(
        "dpkg-deb",
        "-f",
        deb,
        "Package",
        "Version",
        "Architecture",
        "Depends",
        "Recommends",
        "Suggests",
    ).stdout
    fields = dict(line.split(": ", 1) for line in said.splitlines())
    # Versions such as "libc6 (>= 2.34)" come only from dpkg-shlibdeps.
    depends = fields.get("Depends", "")
    e2e.check(
        [fields.get(k) for k in ("Package", "Version", "Architecture", "Recommends", "Suggests")]
        == ["corvan3d", VERSION, arch, "xdg-utils", "xscreensaver"]
        and "libc6 (>= " in depends
        and "libsdl2" in depends
        and "xscreensaver" not in depends,
        "control fields; Depends from the programs' libraries",
        fields,
    )
    code, said = run("lintian", "--fail-on", "error", deb)
    e2e.check(code == 0, "lintian finds no error", said)

    before, home = snapshot(files), f"{work}/home"
    try:
        code, said = run(
            *APT, "install", deb, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        )
        if e2e.check(code == 0 and installed(), "apt-get install ./corvan3d_*.deb", said):
            os.mkdir(home)
            code, said = run(
                "/usr/bin/corvan3d",
                "--headless",
                "--frames",
                "5",
                "--trace",
                f"{home}/trace",
                env=e2e.private_env(home),
            )
            e2e.check(
                code == 0 and '"Notes": [{' in open(f"{home}/trace").read().splitlines()[-1],
                "/usr/bin/corvan3d draws notes from the bundle in /usr/share/corvan3d",
                said,
            )
            pages = [
                e2e.run("man", "-w", name).stdout.strip() for name in ("corvan3d", "corvan-dosh")
            ]
            e2e.check(
                pages
                == ["/usr/share/man/man6/corvan3d.6.gz", "/usr/share/man/man1/corvan-dosh.1.gz"],
                "man finds both manual pages",
                pages,
            )
            code, said = run(
                "desktop-file-validate", *(f"/{f}" for f in wanted if f.endswith(".desktop"))
            )
            e2e.check(
                code == 0 and not said.strip(),
                "desktop-file-validate passes the menu and autostart entries",
                said,
            )
            code, said = run(
                sys.executable, f"{os.path.dirname(__file__)}/xscreensaver_test.py", "corvan3d"
            )
            e2e.check(
                code == 0, 'XScreenSaver runs the installed hack from "corvan3d --root"', said
            )
            code, said = run(
                sys.executable, f"{os.path.dirname(__file__)}/idle_x11_test.py", "/usr/bin/corvan3d"
            )
            e2e.check(
                code == 0, "the installed idle watcher starts and ends the installed saver", said
            )
    finally:
        code, said = run(
            *APT, "purge", "corvan3d", env=dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        )
    after = snapshot(files)
    e2e.check(
        code == 0 and not installed() and after == before,
        "apt-get purge corvan3d leaves every folder it " "touched as it was",
        f"left {sorted(after - before)}, gone {sorted(before - after)}\n{said}",
    )
e2e.finish()
