#!/usr/bin/env python3
# corvan3d's headless host and command line, end to end: the frames and the
# trace it writes, repeatable runs, the store it reads, the view's timing, data
# it cannot use, mistakes on the command line, and the fallback when there is
# no display. (The trace's exact format is pinned by app_tests.)
#
# usage: headless_test.py CORVAN3D

import json, os, struct, subprocess, sys, tempfile

import e2e

CORVAN3D = sys.argv[1]


def headless(env, *args, size="64x48"):
    r = e2e.run(
        CORVAN3D, "--headless", "--size", size, *args, "--trace", f"{env['HOME']}/trace", env=env
    )
    return r, [json.loads(line) for line in open(f"{env['HOME']}/trace")]


with tempfile.TemporaryDirectory(prefix="corvan3d-e2e-") as home:
    env, out = e2e.private_env(home), f"{home}/frames"
    scene = ["--frames", "5", "--step", "0.5", "--seed", "42"]
    r, frames = headless(env, *scene, "--out", out, size="320x240")
    e2e.check(
        r.returncode == 0
        and all(words in r.stdout for words in ("5 frames", "frames/s", "ms/frame", out)),
        "five frames drawn, with the speed and the folder said",
        r.stdout + r.stderr,
    )
    names = sorted(os.listdir(out)) if os.path.isdir(out) else []
    e2e.check(
        names == [f"frame-{i:04d}.png" for i in range(1, 6)],
        "written as frame-0001.png to 0005",
        names,
    )
    width, height, rows = e2e.png_pixels(f"{out}/frame-0005.png")
    # The camera looks level and notes fall in from the top: the upper half fills first. A frame
    # written bottom row first, or the intro's lower image shown too soon, lights the lower half.
    upper, lower = e2e.lit_fraction(rows[:120], 3, step=1), e2e.lit_fraction(rows[120:], 3, step=1)
    e2e.check(
        (width, height) == (320, 240) and upper > max(lower, 0.005),
        "the last frame, 320x240, shows notes, top row first",
        (width, height, upper, lower),
    )
    steps = [(f["RunTime"], f["StepTime"]) for f in frames]
    e2e.check(
        steps == [(0.5 * i, 0.5) for i in range(1, 6)],
        "one trace line a frame, the steps adding up",
        steps,
    )
    again, other = (
        headless(env, *scene, size="320x240")[1],
        headless(env, *scene[:-1], "43", size="320x240")[1],
    )
    e2e.check(frames == again != other, "the same seed gives the same scene, another seed another")

    # One-dash spellings, the default step, and the note count from the store: notes are released
    # at a tenth of the count a second.
    e2e.write_store(env, NumNotes=60, NoteSize=100)
    r, frames = headless(env, "-frames", "3", "-seed", "1")
    e2e.check(
        r.returncode == 0
        and frames[0]["RunTime"] == frames[0]["StepTime"] == 1 / 35
        and abs(frames[-1]["ActiveNotes"] - 60 / 10 * 3 / 35) < 1e-5,
        "the first frame steps 1/35 s; NumNotes from the store sets the release rate",
        frames[:1],
    )
    e2e.check(
        e2e.read_store(env).get("CurrencyPath2") == f"{home}/data/corvan3d/CorvanData",
        "the user's currency folder is stored, under XDG_DATA_HOME",
        e2e.read_store(env),
    )
    # A tick of exactly 1/60 s is too short to draw: it adds up with the next one.
    steps = [f["StepTime"] for f in headless(env, "--frames", "2", "--step", "1/60")[1]]
    e2e.check(
        len(steps) == 2 and all(abs(s - 2 / 60) < 1e-12 for s in steps),
        "1/60 s ticks draw in pairs",
        steps,
    )

    os.mkdir(empty := f"{home}/empty-bundle")
    r, frames = headless(
        dict(env, CORVAN3D_DATA_DIR=empty), "--frames", "3", "--out", f"{empty}/frames"
    )
    e2e.check(
        r.returncode == 0
        and "corvan3d: " in r.stderr
        and len(os.listdir(f"{empty}/frames")) == 3
        and [f["Notes"] for f in frames] == [[]] * 3,
        "with no usable data it says why and draws on",
        r.stderr,
    )

    for args, status, words in [
        (["--frames", "5"], 1, "usage: corvan3d"),
        (["--help"], 0, "usage: corvan3d"),
        (["--settings"], 1, "the settings window needs a display"),
        (["--headless", "--out", "/proc/no-such-place"], 1, "/proc/no-such-place"),
    ]:
        r = e2e.run(CORVAN3D, *args, env=env)
        e2e.check(
            r.returncode == status and words in (r.stderr if status else r.stdout),
            f"corvan3d {' '.join(args)}: exit status {status}, saying {words!r}",
            r.stdout + r.stderr,
        )

    # Without a display: 150 frames at 1280x720 into a folder it names. The first two show that it
    # does; drawing the rest is the headless host's work, seen above.
    first, second = (
        f"{home}/corvan3d-frames/frame-0001.png",
        f"{home}/corvan3d-frames/frame-0002.png",
    )
    fallback = subprocess.Popen([CORVAN3D], env=env, stdout=subprocess.PIPE, text=True)
    said = fallback.stdout.readline()
    e2e.wait_until(lambda: os.path.exists(second) or fallback.poll() is not None, 60)
    e2e.stop(fallback)
    size = struct.unpack(">II", open(first, "rb").read(24)[16:]) if os.path.exists(second) else None
    e2e.check(
        said
        == f"corvan3d: no display; rendering 150 frames offscreen into {home}/corvan3d-frames\n"
        and size == (1280, 720),
        "without a display it renders 150 frames at 1280x720 " "into a folder it names",
        (said, size),
    )
e2e.finish()
