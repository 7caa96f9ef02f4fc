# What the end-to-end tests share: a tally of checks, skips for missing
# tools, a private home, the unprivileged user, a private Xvfb display seen
# through Xlib, the idle watcher and its savers, the PNG frames read back,
# and a web server that misbehaves. Standard Python only.

import contextlib, ctypes, http.server, os, shutil, signal, ssl, struct, subprocess, sys, threading, time, zlib

CI = os.environ.get("CI") == "true"
CATALOGUE = "/mac/zips/corvan/corvanCurrencies-v11.plist"  # on the catalogue server


passed, failed = [], []  # the checks made so far


def check(ok, what, detail=""):
    (passed if ok else failed).append(what)
    print(
        ("ok: " if ok else "FAILED: ") + what + ("" if ok or detail == "" else f" ({detail})"),
        flush=True,
    )
    return ok


def finish():
    # Ends the script with "N passed, M failed".
    print(f"{len(passed)} passed, {len(failed)} failed")
    sys.exit(1 if failed else 0)


def skip(reason, even_in_ci=False):
    # Ends a script that cannot run here with one line; under CI=true that is a failure,
    # unless the reason holds there too.
    failing = CI and not even_in_ci
    print(("FAILED (CI=true): " if failing else "skipped: ") + reason, flush=True)
    sys.exit(1 if failing else 77)  # the tests' SKIP_RETURN_CODE


def need(*tools):
    if missing := [tool for tool in tools if shutil.which(tool) is None]:
        skip(f"{' '.join(missing)} not installed (scripts/install-deps installs it)")


# The unprivileged user of the tests that need one (XScreenSaver and sway refuse to run as root).
# Tests that may create it hold CTest's RESOURCE_LOCK "xscreensaver_user".
USER = "corvan-e2e"


def unprivileged_user(why):
    # The user, created when missing; that needs root, so without it the test skips, saying why.
    need("runuser", "useradd")
    if os.geteuid() != 0:
        skip(f"{why}: run this as root, to run it as {USER}")
    if run("id", USER).returncode != 0:
        subprocess.run(
            ["useradd", "--system", "-M", "-s", "/usr/sbin/nologin", USER], check=True, timeout=30
        )
    return USER


def run(*args, timeout=120, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=timeout, **kwargs)


def private_env(home, **extra):
    # An environment whose configuration and data live under home, on Mesa's
    # software renderer, with no display unless one is given.
    return {
        k: v
        for k, v in os.environ.items()
        if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XSCREENSAVER_WINDOW", "CORVAN3D_DATA_DIR")
    } | dict(
        HOME=home,
        XDG_CONFIG_HOME=f"{home}/config",
        XDG_DATA_HOME=f"{home}/data",
        XDG_RUNTIME_DIR=home,
        LIBGL_ALWAYS_SOFTWARE="1",
        **extra,
    )


def sdl_wayland_leaks(env, home):
    # In the sanitizer build: the environment with tests/lsan-sdl-wayland.supp added to the leak
    # suppressions (in a file under home), for tests whose saver draws through SDL's Wayland driver.
    options = env.get("LSAN_OPTIONS", "")
    if "suppressions=" not in options:
        return env
    project = options.split("suppressions=", 1)[1].split(":", 1)[0]
    with open(f"{home}/lsan.supp", "w") as combined:
        for name in (
            project,
            f"{os.path.dirname(os.path.abspath(__file__))}/../lsan-sdl-wayland.supp",
        ):
            combined.write(open(name).read())
    return dict(env, LSAN_OPTIONS=options.replace(project, f"{home}/lsan.supp"))


def gone(pid):
    # Whether the process has ended and been reaped.
    return not os.path.exists(f"/proc/{pid}")


def write_store(env, **settings):
    # The saver's preferences, where the environment's corvan3d reads them.
    os.makedirs(f"{env['XDG_CONFIG_HOME']}/corvan3d", exist_ok=True)
    with open(f"{env['XDG_CONFIG_HOME']}/corvan3d/baCorvan3D.conf", "w") as f:
        f.write(
            "\n".join(["[baCorvan3D]", "version=1.1"] + [f"{k}={v}" for k, v in settings.items()])
            + "\n"
        )


def read_store(env):
    # The store's keys and values, or {} where there is none.
    with contextlib.suppress(FileNotFoundError), open(
        f"{env['XDG_CONFIG_HOME']}/corvan3d/baCorvan3D.conf"
    ) as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    return {}


def wait_until(predicate, timeout, interval=0.1):
    # Polls predicate until it returns something true or timeout seconds pass.
    end = time.monotonic() + timeout
    while not (value := predicate()) and time.monotonic() < end:
        time.sleep(interval)
    return value


def stop(process, sig=signal.SIGTERM, timeout=10):
    # Ends a process that may still be running; returns its exit status.
    process.send_signal(sig)  # nothing, once it has ended
    with contextlib.suppress(subprocess.TimeoutExpired):
        return process.wait(timeout)
    process.kill()
    return process.wait()


class Watcher:
    # corvan3d --idle with an idle time of a few seconds (None: the store's); the lines it writes on
    # standard error are kept, and the savers it starts are its children.

    def __init__(self, corvan3d, env, seconds=2):
        env = dict(env, CORVAN3D_IDLE_SECONDS=str(seconds)) if seconds else env
        self.process = subprocess.Popen(
            [corvan3d, "--idle"],
            env=env,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE,
            text=True,
        )
        self.lines = []
        threading.Thread(
            target=lambda: self.lines.extend(line.rstrip() for line in self.process.stderr),
            daemon=True,
        ).start()

    def said(self, text):
        # How many of its lines hold text.
        return sum(text in line for line in self.lines)

    def log(self):
        return " | ".join(self.lines[-10:])

    def saver(self):
        # The pid of its running saver (a child running corvan3d --fullscreen, not a zombie), or None.
        for pid in run("pgrep", "-P", str(self.process.pid)).stdout.split():
            with contextlib.suppress(OSError):
                state = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()[0]
                if state != "Z" and b"--fullscreen" in open(f"/proc/{pid}/cmdline", "rb").read():
                    return int(pid)
        return None

    def __enter__(self):
        return self

    def __exit__(self, *error):
        saver = self.saver()
        stop(self.process)
        if saver and os.path.exists(f"/proc/{saver}"):
            os.kill(saver, signal.SIGKILL)  # a saver its watcher failed to end


def png_pixels(path):
    # Width, height and rows (3 bytes a pixel) of an 8-bit RGB PNG, as libpng writes them.
    data, pos, idat = open(path, "rb").read(), 8, b""
    width, height = struct.unpack(">II", data[16:24])
    assert data[24:26] + data[28:29] == b"\x08\x02\x00", f"{path}: not 8-bit RGB, not interlaced"
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos : pos + 8])
        idat += data[pos + 8 : pos + 8 + length] if kind == b"IDAT" else b""
        pos += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(
            raw[y * (stride + 1) + 1 : (y + 1) * (stride + 1)]
        )
        for i in range(stride):
            a, b, c = line[i - 3] if i >= 3 else 0, previous[i], previous[i - 3] if i >= 3 else 0
            guess = (
                (0, a, b, (a + b) // 2)[kind]
                if kind < 4
                else min((a, b, c), key=lambda v: abs(a + b - c - v))
            )
            line[i] = (line[i] + guess) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, rows


def lit_fraction(rows, size, box=None, step=2):
    # The share of sampled pixels in the box (left, top, right, bottom) whose
    # brightest channel is over 24; rows hold size bytes a pixel, colour first.
    left, top, right, bottom = box or (0, 0, len(rows[0]) // size, len(rows))
    samples = [
        max(rows[y][size * x : size * x + 3]) > 24
        for y in range(top, bottom, step)
        for x in range(left, right, step)
    ]
    return sum(samples) / len(samples) if samples else 0.0


class XImage(ctypes.Structure):
    _fields_ = (
        [(n, ctypes.c_int) for n in ("width", "height", "xoffset", "format")]
        + [("data", ctypes.c_void_p)]
        + [
            (n, ctypes.c_int)
            for n in ("byte_order", "unit", "bit_order", "pad", "depth", "bytes_per_line", "bpp")
        ]
    )


P, ID, INT, UINT, BYTE = (
    ctypes.c_void_p,
    ctypes.c_ulong,
    ctypes.c_int,
    ctypes.c_uint,
    ctypes.c_ubyte,
)
SIGNATURES = {  # name: result, arguments
    "XOpenDisplay": (P, ctypes.c_char_p),
    "XDefaultRootWindow": (ID, P),
    "XSync": (INT, P, INT),
    "XCreateSimpleWindow": (ID, P, ID, INT, INT, UINT, UINT, UINT, ID, ID),
    "XMapWindow": (INT, P, ID),
    "XResizeWindow": (INT, P, ID, UINT, UINT),
    "XClearWindow": (INT, P, ID),
    "XKeysymToKeycode": (BYTE, P, ID),
    "XGetImage": (ctypes.POINTER(XImage), P, ID, INT, INT, UINT, UINT, ID, INT),
    "XDestroyImage": (INT, P),
    "XTestFakeMotionEvent": (INT, P, INT, INT, INT, ID),
    "XTestFakeKeyEvent": (INT, P, UINT, INT, ID),
    "XInternAtom": (ID, P, ctypes.c_char_p, INT),
    "XChangeProperty": (INT, P, ID, ID, ID, INT, INT, ctypes.c_char_p, INT),
}


class Screen:
    # One client of the display, through Xlib: what the screen shows, plain
    # black windows as XScreenSaver makes them, and input as a person makes it.

    def __init__(self, name, width, height):
        self.name, self.width, self.height, self.x = name, width, height, {}
        try:
            libraries = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
        except OSError as error:
            skip(f"{error} (scripts/install-deps installs it)")
        for function, (result, *arguments) in SIGNATURES.items():
            self.x[function] = f = getattr(libraries[function.startswith("XTest")], function)
            f.restype, f.argtypes = result, arguments
        self.display = self.x["XOpenDisplay"](name.encode())
        self.root = self.x["XDefaultRootWindow"](self.display)

    def image(self, box=None):
        # The rows of the screen, or of a box (left, top, right, bottom) of it, as it shows now: 4 bytes a pixel.
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        right, bottom = min(right, self.width), min(bottom, self.height)
        if right <= left or bottom <= top:
            return []
        image = self.x["XGetImage"](
            self.display, self.root, left, top, right - left, bottom - top, 0xFFFFFFFF, 2
        )
        pitch = image.contents.bytes_per_line
        assert image.contents.bpp == 32, "Xvfb runs at depth 24, 32 bits a pixel"
        data = ctypes.string_at(image.contents.data, pitch * (bottom - top))
        self.x["XDestroyImage"](image)
        return [data[y * pitch : y * pitch + 4 * (right - left)] for y in range(bottom - top)]

    def lit(self, box=None):
        # The lit share of the screen, or of a box of it, as it shows now.
        rows = self.image(box)
        return lit_fraction(rows, 4) if rows else 0.0

    def drawn(self, what, box=None, process=None):
        # Checks that the box shows drawing within 30 s, and that the process drawing it runs on.
        lit = wait_until(lambda: (share := self.lit(box)) >= 0.002 and share, 30, 0.3) or self.lit(
            box
        )
        return check(
            lit >= 0.002 and (process is None or process.poll() is None), what, f"lit {lit:.4f}"
        )

    def __call__(self, function, *args):
        # Calls an Xlib or XTest function on this display, and waits until the server has done it.
        result = self.x[function](self.display, *args)
        self.x["XSync"](self.display, 0)
        return result


@contextlib.contextmanager
def xvfb(width=1024, height=768):
    # A private X server on a display number it picks itself; yields a Screen of it.
    need("Xvfb")
    read, write = os.pipe()
    server = subprocess.Popen(
        [
            "Xvfb",
            "-displayfd",
            str(write),
            "-screen",
            "0",
            f"{width}x{height}x24",
            "-nolisten",
            "tcp",
            "-br",
            "-noreset",
            "+extension",
            "GLX",
        ],
        pass_fds=(write,),
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    os.close(write)
    try:
        with os.fdopen(read, "rb") as pipe:
            number = pipe.readline().strip().decode()  # written once the server takes clients
        assert number, "Xvfb did not start"
        yield Screen(":" + number, width, height)
    finally:
        stop(server, timeout=5)


class TroubleHandler(http.server.SimpleHTTPRequestHandler):
    # Serves a site folder, and under /bad/ routes that misbehave, sending
    # parts of a real currency file (the server's currency, or its other one).
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path == "/moved.plist":  # the catalogue, moved
            return self.reply(302, [("Location", CATALOGUE)], b"", 0)
        if "/bad/" not in self.path:
            return super().do_GET()
        route, euro = self.path.split("/bad/", 1)[1], open(self.server.currency, "rb").read()
        folder, plain = os.path.dirname(CATALOGUE), getattr(self.server, "plain", "")
        status, headers, body, length = {  # what is sent, and the length stated
            "broken/Euro.dosh": (200, [], euro[: len(euro) // 2], len(euro)),  # dies half way
            "stall.dosh": (200, [], euro[:1], len(euro)),  # then nothing for 8 s
            "half-stall.dosh": (200, [], euro[: len(euro) // 2], len(euro)),  # likewise
            "suggests/Euro.dosh": (
                200,
                [("Content-Disposition", 'attachment; filename="Japan.dosh"')],
                euro,
                len(euro),
            ),
            "redirect/Euro.dosh": (302, [("Location", f"{folder}/Japan.dosh")], b"", 0),
            "downgrade/Euro.dosh": (302, [("Location", f"{plain}{folder}/Euro.dosh")], b"", 0),
            "huge.dosh": (200, [], euro[:1000], 100 << 20),
            "endless.dosh": (
                200,
                [],
                bytes(1 << 20),
                None,
            ),  # 80 MiB, no length: ends with the connection
            "junk.dosh": (200, [], b"CORV" * 300, 1200),
            "empty.dosh": (200, [], b"", 0),
            "ftp.dosh": (302, [("Location", "ftp://127.0.0.1/Euro.dosh")], b"", 0),
            "loop.dosh": (302, [("Location", "/bad/loop.dosh")], b"", 0),
        }.get(route, (404, [], b"", 0))
        self.reply(
            status,
            headers,
            body,
            length,
            80 if route == "endless.dosh" else 1,
            8 if "stall" in route else 0,
        )

    def reply(self, status, headers, body, length, times=1, linger=0):
        self.send_response(status)
        stated = [("Content-Length", str(length))] if length is not None else []
        for key, value in headers + stated + [("Connection", "close")]:
            self.send_header(key, value)
        self.end_headers()
        self.close_connection = True
        with contextlib.suppress(OSError):  # the client gave up, as it should have
            for _ in range(times):
                self.wfile.write(body)
            self.wfile.flush()
            time.sleep(linger)


def serve(site, currency, tls=None, plain=""):
    # Serves site on 127.0.0.1 with TroubleHandler's routes made from the currency file until the
    # process ends, over TLS with tls = (certificate, key); plain is where a downgrade leads. Returns
    # the server's address.
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), lambda *a: TroubleHandler(*a, directory=site)
    )
    server.currency, server.plain, server.handle_error = (
        currency,
        plain,
        lambda *a: None,
    )  # hang-ups expected
    if tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*tls)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return f"{'https' if tls else 'http'}://127.0.0.1:{server.server_port}"


def offer(home, dosh, files, currency, extra=""):
    # A site under home offering files (name: content) in a catalogue corvan-dosh makes, with extra
    # entries, served by serve(); returns its address, the folder offered and what corvan-dosh said.
    folder = f"{home}/site{os.path.dirname(CATALOGUE)}"
    os.makedirs(folder)
    for name, content in files.items():
        open(f"{folder}/{name}", "wb").write(content)
    made = run(dosh, "catalogue", folder)
    open(f"{home}/site{CATALOGUE}", "w").write(made.stdout.replace("</array>", extra + "</array>"))
    return serve(f"{home}/site", currency), folder, made


def currency(dosh, bundle, name, path):
    # A currency of one note called name, packed at path from the bundled euro's first note; its bytes.
    note = f"{os.path.dirname(path)}/.note.tga"
    os.makedirs(os.path.dirname(path), exist_ok=True)
    for step in (
        ("extract", f"{bundle}/Euro.dosh", "0", note),
        ("pack", path, "--name", name, f"{note}:156x66"),
    ):
        made = run(dosh, *step)
        assert made.returncode == 0, made.stderr
    os.remove(note)
    return open(path, "rb").read()


def certificate(folder):
    # A self-signed certificate for 127.0.0.1 made by openssl: (certificate, key).
    need("openssl")
    cert, key = f"{folder}/cert.pem", f"{folder}/key.pem"
    made = run(
        "openssl",
        "req",
        "-x509",
        "-newkey",
        "rsa:2048",
        "-nodes",
        "-days",
        "1",
        "-subj",
        "/CN=127.0.0.1",
        "-addext",
        "subjectAltName=IP:127.0.0.1",
        "-keyout",
        key,
        "-out",
        cert,
    )
    assert made.returncode == 0, made.stderr
    return cert, key
