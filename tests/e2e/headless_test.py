#!/usr/bin/env python3
# corvan3d's headless host and command line, end to end: the frames and the
# trace it writes, repeatable runs, the store it reads, the view's timing,
# where mistakes are said, and the fallback when there is no display. (Data it
# cannot use is the view's host tests' work.)
#
# usage: headless_test.py CORVAN3D

import json, os, struct, subprocess, sys

import e2e

CORVAN3D = sys.argv[1]
e2e.need(module="gi")
png_size = lambda path: struct.unpack(">II", open(path, "rb").read(24)[16:])
PIXBUF = "import sys; from gi.repository import GdkPixbuf as P; sys.stdout.buffer.write("
PIXBUF += "P.Pixbuf.new_from_file(sys.argv[1]).read_pixel_bytes().get_data())"
env = e2e.private_env()
home, out = env["HOME"], f"{env['HOME']}/frames"


def headless(*args, size="64x48", env=env):
    r = e2e.run(CORVAN3D, "--headless", "--size", size, *args, "--trace", f"{home}/trace", env=env)
    return r, [json.loads(line) for line in open(f"{home}/trace")]


scene = ["--frames", "5", "--step", "0.5", "--seed", "42"]
r, frames = headless(*scene, "--out", out, size="320x240")
e2e.expect(
    (r.returncode, r.stdout[:30], r.stdout.split("; ")[-1]),
    (0, "corvan3d: 5 frames at 320x240 ", f"frames written to {out}\n"),
    "said",
)
e2e.expect(len(os.listdir(out)), 5, "frame-0001.png to 0005")
# The last frame's rows (3 bytes a pixel, top row first) as GdkPixbuf reads them, not as the
# project's own reader would. The camera looks level and notes fall in from the top: the upper half
# fills first. A frame written bottom row first, or the intro's lower image shown too soon, lights
# the lower half.
last = f"{out}/frame-0005.png"
rgb = e2e.run("/usr/bin/python3", "-c", PIXBUF, last, text=False).stdout
# the halves, each as one long row
upper, lower = e2e.lit_fraction([rgb[:115200]], 3, 1), e2e.lit_fraction([rgb[115200:]], 3, 1)
e2e.expect(
    (png_size(last), len(rgb), upper > max(lower, 0.005)),
    ((320, 240), 320 * 240 * 3, True),
    f"the last frame shows notes, top row first (lit {upper:.3f} above, {lower:.3f} below)",
)
steps = [(f["RunTime"], f["StepTime"]) for f in frames]
e2e.expect(steps, [(0.5 * i, 0.5) for i in range(1, 6)], "steps")
again, other = headless(*scene, size="320x240")[1], headless(*scene[:5], "43", size="320x240")[1]
e2e.expect((again == frames, other == frames), (True, False), "seeds")

# One-dash spellings, the default step, and the note count from the store: notes are released at a
# tenth of the count a second.
e2e.store(env, NumNotes=60, NoteSize=100)
frames = headless("-frames", "3", "-seed", "1")[1]
e2e.expect(
    (frames[0]["RunTime"], frames[0]["StepTime"], round(frames[-1]["ActiveNotes"], 5)),
    (1 / 35, 1 / 35, round(60 / 10 * 3 / 35, 5)),
    "1/35 s; release rate",
)
for args, said in [
    (["--settings"], "corvan3d: the settings window needs a display\n"),
    (["--headless", "--out", "/proc/no-such-place"], "corvan3d: cannot create /proc/no-such-place"),
]:
    r = e2e.run(CORVAN3D, *args, env=env)
    e2e.expect((r.returncode, r.stderr[: len(said)]), (1, said), str(args))

# Without a display: 150 frames at 1280x720 into a folder it names. The first two show that it does;
# drawing the rest is the headless host's work, seen above.
first, second = [f"{home}/corvan3d-frames/frame-000{i}.png" for i in (1, 2)]
fallback = e2e.spawn(CORVAN3D, env=env, stdout=subprocess.PIPE, text=True)
said = fallback.stdout.readline()
e2e.wait_until(lambda: os.path.exists(second), 120, "frames")
e2e.expect(
    (said, png_size(first)),
    (
        f"corvan3d: no display; rendering 150 frames offscreen into {home}/corvan3d-frames\n",
        (1280, 720),
    ),
    "said",
)
e2e.finish()
