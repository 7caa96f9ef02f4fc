# What the end-to-end tests share: checks that compare values, one wait for a condition with a
# generous deadline (nothing here judges speed), skips for missing tools, private homes and the
# processes started in them (all ended when the script ends), the unprivileged user, a private Xvfb
# display seen through Xlib and driven by xdotool, the idle watcher and the cycle each of its
# backends goes through, and a web server that misbehaves. Standard Python only.

import atexit, contextlib, ctypes, http.server, os, shutil, signal, ssl, struct, subprocess, sys
import tempfile, threading, time

# on the catalogue server
CATALOGUE = "/mac/zips/corvan/corvanCurrencies-v11.plist"
passed, failed, children, homes = [], [], [], []


def expect(actual, expected, what):
    # A check: what came must equal what was expected; a failure prints both.
    ok = actual == expected
    (passed if ok else failed).append(what)
    print(
        f"ok: {what}" if ok else f"FAILED: {what}\n  got: {actual!r}\n  expected: {expected!r}",
        flush=True,
    )
    return ok


def wait_until(condition, deadline, what=None):
    # Polls condition until it returns something true, and returns that. With what, it is a check
    # that fails once deadline seconds pass first.
    end = time.monotonic() + deadline
    while not (value := condition()) and time.monotonic() < end:
        time.sleep(0.1)
    if what:
        expect(bool(value), True, f"{what} (within {deadline} s)")
    return value


def finish():
    print(f"{len(passed)} passed, {len(failed)} failed")
    sys.exit(1 if failed else 0)


def skip(reason, even_in_ci=False):
    # Ends a script that cannot run here with one line; under CI=true that is a failure, unless
    # the reason holds there too.
    failing = os.environ.get("CI") == "true" and not even_in_ci
    print(("FAILED (CI=true): " if failing else "skipped: ") + reason, flush=True)
    # the tests' SKIP_RETURN_CODE
    sys.exit(1 if failing else 77)


def need(*tools, module="os"):
    # Skips unless the tools are installed, and the module is in the system's Python.
    missing = [tool for tool in tools if shutil.which(tool) is None]
    missing += [module] * run("/usr/bin/python3", "-c", f"import {module}").returncode
    if missing:
        skip(f"{' '.join(missing)} not installed (scripts/install-deps)")


# The unprivileged user of the tests that need one (XScreenSaver and sway refuse to run as root).
# Tests that may create it hold CTest's RESOURCE_LOCK "xscreensaver_user".
USER = "corvan-e2e"


def unprivileged_user(why):
    # The user, created when missing; that needs root, so without it the test skips, saying why.
    need("runuser", "useradd")
    if os.geteuid():
        skip(f"{why}: run this as root, to run it as {USER}")
    if run("id", USER).returncode:
        run(*f"useradd --system -M -s /usr/sbin/nologin {USER}".split())
    return USER


def run(*args, timeout=120, text=True, **kwargs):
    return subprocess.run(args, capture_output=True, text=text, timeout=timeout, **kwargs)


def spawn(*args, **kwargs):
    # A process of the test's own, in a process group of its own that is ended when the script ends;
    # its output goes nowhere unless asked.
    kwargs = dict(stdout=subprocess.DEVNULL, process_group=0) | kwargs
    children.append(process := subprocess.Popen(args, **kwargs))
    return process


def stop(process, sig=signal.SIGTERM):
    # Sends sig (None: nothing, for a process that is to end by itself) to a process that may have
    # ended already, and returns its exit status; one that outlasts a generous deadline is killed
    # (status -9).
    sig and process.send_signal(sig)
    with contextlib.suppress(subprocess.TimeoutExpired):
        return process.wait(60)
    process.kill()
    return process.wait()


def make_home():
    # A private folder, removed when the script ends.
    homes.append(folder := tempfile.mkdtemp(prefix="corvan3d-e2e-"))
    return folder


@atexit.register
def tidy():
    for process in reversed(children):
        stop(process)
        with contextlib.suppress(OSError):
            # what it left running, a saver of a watcher
            os.killpg(process.pid, signal.SIGKILL)
    for folder in homes:
        shutil.rmtree(folder, ignore_errors=True)


def private_env(home=None, **extra):
    # An environment whose configuration and data live under home (a new one unless given), on
    # Mesa's software renderer, with no display unless one is given.
    home = home or make_home()
    drop = ("DISPLAY", "WAYLAND_DISPLAY", "XSCREENSAVER_WINDOW", "CORVAN3D_DATA_DIR")
    env = {k: v for k, v in os.environ.items() if k not in drop} | dict(LIBGL_ALWAYS_SOFTWARE="1")
    env |= dict(HOME=home, XDG_RUNTIME_DIR=home, XDG_CONFIG_HOME=f"{home}/config")
    # Without a session bus, libdbus would start one for the display that outlives the test.
    env.setdefault("DBUS_SESSION_BUS_ADDRESS", "disabled:")
    return env | dict(XDG_DATA_HOME=f"{home}/data", **extra)


# Whether the process has ended and been reaped.
gone = lambda pid: not os.path.exists(f"/proc/{pid}")


def store(env, **settings):
    # The saver's preferences where env's corvan3d keeps them: written when settings are given;
    # their keys and values ({} where there are none).
    path = f"{env['XDG_CONFIG_HOME']}/corvan3d/baCorvan3D.conf"
    if settings:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        lines = ["[baCorvan3D]", "version=1.1"] + [f"{k}={v}" for k, v in settings.items()]
        open(path, "w").write("\n".join(lines) + "\n")
    with contextlib.suppress(FileNotFoundError), open(path) as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    return {}


class Watcher:
    # corvan3d --idle with an idle time of a few seconds (None: the store's). The lines it writes on
    # standard error are kept, and shown as they come; the savers it starts are its children.

    def __init__(self, corvan3d, env, seconds=2):
        env = dict(env, CORVAN3D_IDLE_SECONDS=str(seconds)) if seconds else env
        self.process = spawn(corvan3d, "--idle", env=env, stderr=subprocess.PIPE, text=True)
        self.lines = []
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stderr:
            print("  watcher: " + line, end="", flush=True)
            self.lines.append(line)

    def said(self, text, what):
        # Checks that it comes to write a line holding text.
        return wait_until(lambda: any(text in line for line in self.lines), 60, what)

    def saver(self, what=None, other=None):
        # The pid of its running saver (a child running corvan3d --fullscreen; a zombie has no
        # command line) other than other: waited for when what is given, else None if none runs.
        pids = lambda: run("pgrep", "-P", str(self.process.pid), "-f", "fullscreen").stdout.split()
        find = lambda: next((int(pid) for pid in pids() if int(pid) != other), None)
        return wait_until(find, 60, what) if what else find()

    def cycle(self, backend, shows, back, release=None):
        # What each backend goes through: the watcher names it; held off until release() (when
        # given), the saver starts and shows(pid) checks it on screen; it runs on until back(), the
        # user's input, ends it, and the next idle time starts another, whose pid it returns.
        self.said(f"through {backend}", "backend")
        if release:
            self.said("holds the saver off", "held off")
            expect((self.saver(), release()), (None, True), "no saver until released")
        first = self.saver("the saver starts")
        shows(first)
        expect(self.saver(), first, "and runs on")
        back()
        wait_until(lambda: gone(first), 60, "input ends it")
        return self.saver("the next idle time starts it again", first)


def lit_fraction(rows, size, step=2):
    # The share of sampled pixels whose brightest channel is over 24; size bytes a pixel, colour
    # first.
    samples = [
        max(row[x : x + 3]) > 24 for row in rows[::step] for x in range(0, len(row), size * step)
    ]
    return sum(samples) / len(samples) if samples else 0.0


class Screen:
    # A private Xvfb display on a number it picks itself, and one client of it through Xlib: what
    # the screen shows, plain black windows as XScreenSaver makes them, and input as a person
    # makes it.

    def __init__(self):
        need("Xvfb", "xdotool")
        self.x = ctypes.CDLL("libX11.so.6")
        # What is not said here passes and returns C ints, as do the ids and numbers used.
        self.x.XOpenDisplay.restype = self.x.XGetImage.restype = ctypes.c_void_p
        read, write = os.pipe()
        xvfb = f"Xvfb -displayfd {write} -screen 0 1024x768x24 -nolisten tcp -br -noreset"
        spawn(*xvfb.split(), "+extension", "GLX", pass_fds=(write,), stderr=-3)
        os.close(write)
        # written once the server takes clients
        number = os.fdopen(read).readline().strip()
        assert number, "Xvfb did not start"
        self.name = ":" + number
        self.display = ctypes.c_void_p(self.x.XOpenDisplay(self.name.encode()))
        self.root = self("XDefaultRootWindow")

    def __call__(self, function, *args):
        # Calls an Xlib function on this display, and waits until the server has done it.
        result = getattr(self.x, function)(self.display, *args)
        self.x.XSync(self.display, 0)
        return result

    def image(self, box=None):
        # The rows of the screen, or of a box (left, top, right, bottom) of it, as it shows now:
        # 4 bytes a pixel.
        left, top, right, bottom = box or (0, 0, 1024, 768)
        pitch, height = 4 * (right - left), bottom - top
        # ZPixmap, 32 bits a pixel and no padding at this depth; the data's address
        image = self("XGetImage", self.root, left, top, right - left, height, -1, 2)
        data = ctypes.string_at(
            struct.unpack("4iP", ctypes.string_at(image, 24))[4], pitch * height
        )
        return [data[y * pitch : (y + 1) * pitch] for y in range(height)]

    def drawn(self, what, box=None):
        # Checks that the box comes to show drawing.
        return wait_until(lambda: lit_fraction(self.image(box), 4) >= 0.002, 60, what)

    def xdo(self, *args):
        # Input as a person makes it: keys to the window under the pointer, the pointer moved.
        run("xdotool", *map(str, args), env=dict(os.environ, DISPLAY=self.name))


class TroubleHandler(http.server.SimpleHTTPRequestHandler):
    # Serves a site folder; /moved.plist leads to the catalogue, and the routes under /bad/
    # misbehave, sending parts of a real currency file (the server's currency).
    protocol_version = "HTTP/1.1"
    log_message = lambda *a: None

    def do_GET(self):
        folder = os.path.dirname(CATALOGUE)
        euro = open(f"{self.directory}{folder}/Euro.dosh", "rb").read()
        half, size = euro[: len(euro) // 2], len(euro)
        go = lambda where: (302, {"Location": where}, b"", 0)
        # what is sent, the headers besides, and the length stated
        reply = {
            "/moved.plist": go(CATALOGUE),
            # dies half way
            "broken/Euro.dosh": (200, {}, half, size),
            # then nothing for 8 s
            "stall.dosh": (200, {}, euro[:1], size),
            "suggests/Euro.dosh": (
                200,
                {"Content-Disposition": 'attachment; filename="Japan.dosh"'},
                euro,
                size,
            ),
            "redirect/Euro.dosh": go(f"{folder}/Japan.dosh"),
            "downgrade/Euro.dosh": go(f"{self.server.plain}{folder}/Euro.dosh"),
            # closed before a byte of what it says it sends
            "huge.dosh": (200, {}, b"", 100 << 20),
            # sent 80 times, no length stated
            "endless.dosh": (200, {}, bytes(1 << 20), None),
            "ftp.dosh": go("ftp://127.0.0.1/Euro.dosh"),
            "loop.dosh": go("/bad/loop.dosh"),
        }.get(self.path.split("/bad/")[-1])
        if not reply:
            return super().do_GET()
        status, headers, body, length = reply
        self.send_response(status)
        for key, value in (headers | {"Content-Length": length, "Connection": "close"}).items():
            if value is not None:
                self.send_header(key, value)
        self.end_headers()
        self.close_connection = True
        # the client gave up, as it should have
        with contextlib.suppress(OSError):
            self.wfile.write(body * (1 if length is not None else 80))
            self.wfile.flush()
            time.sleep(8 if "stall" in self.path else 0)


def serve(site, tls=None, plain=""):
    # Serves site on 127.0.0.1 with TroubleHandler's routes made from the euro it offers until the
    # process ends, over TLS with tls = (certificate, key); plain is where a downgrade leads.
    # Returns the server's address.
    handler = lambda *a: TroubleHandler(*a, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.plain, server.handle_error = plain, lambda *a: None
    if tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*tls)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return f"{'https' if tls else 'http'}://127.0.0.1:{server.server_port}"


def offer(home, dosh, files, extra=""):
    # A site under home offering files (name: content, a Euro.dosh among them) in a catalogue
    # corvan-dosh makes, with extra entries, served by serve(); returns its address, the folder
    # offered and what corvan-dosh said.
    folder = f"{home}/site{os.path.dirname(CATALOGUE)}"
    os.makedirs(folder)
    for name, content in files.items():
        open(f"{folder}/{name}", "wb").write(content)
    made = run(dosh, "catalogue", folder)
    open(f"{home}/site{CATALOGUE}", "w").write(made.stdout.replace("</array>", extra + "</array>"))
    return serve(f"{home}/site"), folder, made


def currency(dosh, bundle, name, path):
    # A currency of one note called name, packed at path from the bundled euro's first note; its
    # bytes.
    os.makedirs(os.path.dirname(path), exist_ok=True)
    for step in (["extract", f"{bundle}/Euro.dosh", "0"], ["pack", path, "--name", name]):
        made = run(dosh, *step, f"{path}.tga" + ":156x66" * (step[0] == "pack"))
        assert made.returncode == 0, made.stderr
    os.remove(f"{path}.tga")
    return open(path, "rb").read()


def certificate(folder):
    # A self-signed certificate for 127.0.0.1 made by openssl: (certificate, key).
    need("openssl")
    cert, key = f"{folder}/cert.pem", f"{folder}/key.pem"
    made = run(
        *"openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -addext".split(),
        *f"subjectAltName=IP:127.0.0.1 -keyout {key} -out {cert}".split(),
    )
    assert made.returncode == 0, made.stderr
    return cert, key
