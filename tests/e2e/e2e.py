"""What the end-to-end tests of corvan3d share: a tally of checks, a private
Xvfb display, screenshots, and readers for the PNG and XWD images they look at.
Everything is standard Python; nothing here depends on the display's toolkit."""

import contextlib
import http.server
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib


class Tally:
    """Counts checks and ends the script with "N passed, M failed"."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print(f"ok: {what}")
        else:
            self.failed += 1
            print(f"FAILED: {what}" + (f" ({detail})" if detail else ""))
        sys.stdout.flush()
        return ok

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed")
        sys.exit(1 if self.failed else 0)


def skip(reason):
    print(f"skipped: {reason}")
    print("0 passed, 0 failed")
    sys.exit(0)


def private_env(home, **extra):
    """An environment whose configuration and data live under home, on Mesa's
    software renderer, with no display unless one is given."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XSCREENSAVER_WINDOW", "CORVAN3D_DATA_DIR")}
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"), XDG_RUNTIME_DIR=home,
               LIBGL_ALWAYS_SOFTWARE="1")
    env.update(extra)
    return env


def write_store(env, **settings):
    """Writes the saver's preferences where the environment's corvan3d reads them."""
    folder = os.path.join(env["XDG_CONFIG_HOME"], "corvan3d")
    os.makedirs(folder, exist_ok=True)
    lines = ["[baCorvan3D]", "version=1.1"] + [f"{k}={v}" for k, v in settings.items()]
    with open(os.path.join(folder, "baCorvan3D.conf"), "w") as f:
        f.write("\n".join(lines) + "\n")


def wait_until(predicate, timeout, interval=0.1):
    """Polls predicate until it returns something true or timeout seconds pass."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(interval)


def stop(process, sig=signal.SIGTERM, timeout=10):
    """Ends a process that may still be running; returns its exit status."""
    if process.poll() is None:
        with contextlib.suppress(ProcessLookupError):
            process.send_signal(sig)
        try:
            process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


@contextlib.contextmanager
def xvfb(width=1024, height=768):
    """A private X server on a display number it picks itself; yields ":N"."""
    if shutil.which("Xvfb") is None:
        raise RuntimeError("Xvfb is not installed")
    read, write = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp",
         "-br", "-noreset", "+extension", "GLX"],
        pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    try:
        number = b""
        with os.fdopen(read, "rb") as pipe:
            number = pipe.readline().strip()  # written once the server accepts clients
        if not number:
            raise RuntimeError("Xvfb did not start")
        yield ":" + number.decode()
    finally:
        stop(server, timeout=5)


def png_pixels(path):
    """Width, height and RGB rows of an 8-bit RGB, non-interlaced PNG."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path} is no PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 2, 0):
        raise ValueError(f"{path}: not 8-bit RGB")
    raw, stride, rows = zlib.decompress(idat), width * 3, []
    previous = bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - 3] if x >= 3 else 0
            b = previous[x]
            c = previous[x - 3] if x >= 3 else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, rows


def lit_fraction(rows, left=0, top=0, right=None, bottom=None, step=2):
    """The share of sampled pixels in a box whose brightest channel is over 24.
    rows hold 3 bytes a pixel."""
    right = right if right is not None else len(rows[0]) // 3
    bottom = bottom if bottom is not None else len(rows)
    lit = total = 0
    for y in range(top, bottom, step):
        row = rows[y]
        for x in range(left, right, step):
            total += 1
            if max(row[3 * x:3 * x + 3]) > 24:
                lit += 1
    return lit / total if total else 0.0


def screenshot(display):
    """The whole screen as (width, height, RGB rows), through xwd."""
    data = subprocess.run(["xwd", "-root", "-silent", "-display", display], check=True,
                          stdout=subprocess.PIPE, timeout=20).stdout
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line, colours = header[7], header[11], header[12], header[19]
    masks = header[14:17]
    pixel_bytes = bits_per_pixel // 8
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    pixels = data[header_size + colours * 12:]
    order = "little" if byte_order == 0 else "big"
    # The usual layout, 32-bit pixels B, G, R, X in memory, is sliced whole.
    usual = pixel_bytes == 4 and order == "little" and tuple(masks) == (0xFF0000, 0xFF00, 0xFF)
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * pixel_bytes]
        out = bytearray(width * 3)
        if usual:
            out[0::3], out[1::3], out[2::3] = line[2::4], line[1::4], line[0::4]
        else:
            for x in range(width):
                value = int.from_bytes(line[x * pixel_bytes:(x + 1) * pixel_bytes], order)
                out[3 * x:3 * x + 3] = bytes((value & m) >> s for m, s in zip(masks, shifts))
        rows.append(bytes(out))
    return width, height, rows


def write_png(path, width, rows):
    """Keeps a screenshot for a person to look at."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


def wait_for_drawing(display, box=None, timeout=30, least=0.002):
    """Takes screenshots until the box (left, top, right, bottom) shows drawing;
    returns the lit fraction reached and the last screenshot."""
    last = {}

    def drawn():
        width, height, rows = screenshot(display)
        last["shot"] = (width, rows)
        fraction = lit_fraction(rows, *(box or ()))
        last["fraction"] = fraction
        return fraction >= least

    wait_until(drawn, timeout, interval=0.3)
    return last.get("fraction", 0.0), last.get("shot")


@contextlib.contextmanager
def temp_folder(prefix):
    folder = tempfile.mkdtemp(prefix=prefix)
    try:
        yield folder
    finally:
        shutil.rmtree(folder, ignore_errors=True)


class TroubleHandler(http.server.SimpleHTTPRequestHandler):
    """Serves a site folder, and under /bad/ routes that misbehave, sending
    parts of a real currency file."""
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, status, headers=(), body=b"", length=None):
        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        try:
            self.wfile.write(body)
        except OSError:  # the client gave up, as it should have
            self.close_connection = True

    def do_GET(self):
        euro = open(self.server.currency, "rb").read()
        path = self.path.split("/bad/", 1)[-1] if "/bad/" in self.path else None
        if path is None:
            return super().do_GET()
        if path == "broken/Euro.dosh":  # dies half way
            self.send(200, length=len(euro), body=euro[:len(euro) // 2])
            self.close_connection = True
        elif path == "stall.dosh":
            self.send(200, length=len(euro), body=euro[:1])
            self.wfile.flush()
            time.sleep(8)
        elif path == "disposition":
            self.send(200, [("Content-Disposition", 'attachment; filename="../../Escaped.dosh"')], euro, len(euro))
        elif path == "hidden":
            self.send(200, [("Content-Disposition", "attachment; filename=.profile")], euro, len(euro))
        elif path == "huge.dosh":
            self.send(200, length=100 << 20, body=euro[:1000])
            self.close_connection = True
        elif path == "endless.dosh":  # no length: ends when the connection does
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            chunk = bytes(1 << 20)
            try:
                for _ in range(80):
                    self.wfile.write(chunk)
            except OSError:
                pass
            self.close_connection = True
        elif path == "junk.dosh":
            self.send(200, body=b"CORV" * 300, length=1200)
        elif path == "ftp":
            self.send(302, [("Location", "ftp://127.0.0.1/Euro.dosh")], length=0)
        elif path == "loop":
            self.send(302, [("Location", "/bad/loop")], length=0)
        else:
            self.send(404, length=0)


def serve(site, currency):
    """An HTTP server on 127.0.0.1 for site, with TroubleHandler's routes
    made from the currency file; it stops with the process."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             lambda *a: TroubleHandler(*a, directory=site))
    server.currency = currency
    server.handle_error = lambda *a: None  # clients that hang up are expected
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server
