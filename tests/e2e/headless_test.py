#!/usr/bin/env python3
"""corvan3d's headless host, end to end: the frames it writes, the trace of
the scene, repeatable runs, the store it reads, data it cannot use, the
fallback when there is no display, and its command line.

usage: headless_test.py CORVAN3D"""

import glob
import json
import os
import subprocess
import sys

from e2e import Tally, lit_fraction, png_pixels, private_env, temp_folder, write_store

corvan3d = sys.argv[1]
t = Tally()


def run(args, env, timeout=120):
    return subprocess.run([corvan3d] + args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, timeout=timeout)


def number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool)


def vector(value):
    return isinstance(value, list) and len(value) == 3 and all(number(v) for v in value)


def integer(value):
    return isinstance(value, int) and not isinstance(value, bool)


CAMERA = {"Pos": vector, "LookAt": vector, "Angle": vector, "Spinning": lambda v: isinstance(v, bool),
          "Following": lambda v: isinstance(v, bool), "FollowNote": integer, "FadeRange": number}
NOTE = {"Pos": vector, "Rot": vector, "Currency": integer, "NoteList": integer, "Tumbling": integer,
        "SwingPhase": integer, "Brightness": number}
FRAME = {"RunTime": number, "StepTime": number, "RandDraws": integer, "ActiveNotes": number,
         "Camera": lambda v: isinstance(v, dict), "Notes": lambda v: isinstance(v, list)}


def shape_problems(frame):
    """What is missing or of the wrong kind in one traced frame."""
    problems = []
    for fields, record, where in [(FRAME, frame, "frame"), (CAMERA, frame.get("Camera") or {}, "Camera")] + \
            [(NOTE, note, f"note {i}") for i, note in enumerate(frame.get("Notes") or [])]:
        if list(record) != list(fields):
            problems.append(f"{where} has fields {list(record)}")
        problems += [f"{where}.{k} = {record.get(k)!r}" for k, ok in fields.items() if k in record and not ok(record[k])]
    return problems


def read_trace(path):
    with open(path) as f:
        return [json.loads(line) for line in f]


def frames_test():
    with temp_folder("corvan3d-e2e-") as home:
        env = private_env(home)
        out, trace = os.path.join(home, "frames"), os.path.join(home, "trace.jsonl")
        args = ["--headless", "--frames", "5", "--size", "320x240", "--step", "0.5", "--seed", "42"]
        r = run(args + ["--out", out, "--trace", trace], env)
        t.check(r.returncode == 0, "five frames drawn", r.stderr)
        t.check("5 frames" in r.stdout and "frames/s" in r.stdout and "ms/frame" in r.stdout and out in r.stdout,
                "the summary gives frames, speed and the folder", r.stdout)
        names = sorted(os.path.basename(p) for p in glob.glob(os.path.join(out, "*")))
        t.check(names == [f"frame-{i:04d}.png" for i in range(1, 6)], "frame-0001.png to frame-0005.png", names)
        if len(names) == 5:
            width, height, rows = png_pixels(os.path.join(out, names[-1]))
            t.check((width, height) == (320, 240), "frames have the size asked for", (width, height))
            lit = lit_fraction(rows, step=1)
            t.check(lit > 0.005, "the last frame shows notes", lit)
            # The camera looks level: notes falling from the top of the cube reach the upper
            # half of the picture first. Rows flipped the wrong way would put them below.
            upper, lower = lit_fraction(rows, bottom=120, step=1), lit_fraction(rows, top=120, step=1)
            t.check(upper > lower, "frames are written top row first", (upper, lower))

        lines = read_trace(trace)
        t.check(len(lines) == 5, "one trace line per frame", len(lines))
        problems = [p for frame in lines for p in shape_problems(frame)]
        t.check(not problems, "every traced field is there with its type", problems[:5])
        if len(lines) == 5 and not problems:
            t.check(all(f["StepTime"] == 0.5 for f in lines), "each step is the simulated one")
            t.check([f["RunTime"] for f in lines] == [0.5, 1.0, 1.5, 2.0, 2.5], "run time adds up the steps")
            t.check(all(len(f["Notes"]) == 50 for f in lines),
                    "the first 50 notes are traced, released or not", [len(f["Notes"]) for f in lines])
            t.check(len(lines[-1]["Notes"]) == 50, "the default 500 notes fill the trace's 50")
            draws = [f["RandDraws"] for f in lines]
            t.check(draws == sorted(draws) and draws[0] > 0, "random draws are counted", draws)

        # The same seed gives the same scene; another seed another one.
        again, other = os.path.join(home, "again.jsonl"), os.path.join(home, "other.jsonl")
        run(args + ["--trace", again], env)
        run(args[:-1] + ["43", "--trace", other], env)
        same = open(trace).read() == open(again).read()
        t.check(same, "two runs with the same seed trace the same")
        t.check(open(trace).read() != open(other).read(), "another seed traces another scene")


def timing_and_store_test():
    """The default step through the view's timing rules, and the preferences from the store."""
    with temp_folder("corvan3d-e2e-") as home:
        env = private_env(home)
        write_store(env, NumNotes=60, NoteSize=100)
        trace = os.path.join(home, "trace.jsonl")
        r = run(["-headless", "-frames", "3", "-size", "64x48", "-seed", "1", "-trace", trace], env)
        t.check(r.returncode == 0, "one-dash spellings work", r.stderr)
        lines = read_trace(trace)
        t.check(len(lines) == 3 and lines[0]["RunTime"] == 1 / 35 and lines[0]["StepTime"] == 1 / 35,
                "the first drawn frame steps 1/35 s exactly", lines[:1])
        # Notes are released at a tenth of the total a second: 60 / 10 * 3 / 35.
        t.check(len(lines) == 3 and abs(lines[-1]["ActiveNotes"] - 60 / 10 * 3 / 35) < 1e-5,
                "the store's NumNotes sets the release rate", lines[-1]["ActiveNotes"] if lines else None)
        user = os.path.join(env["XDG_DATA_HOME"], "corvan3d", "CorvanData")
        conf = open(os.path.join(env["XDG_CONFIG_HOME"], "corvan3d", "baCorvan3D.conf")).read()
        t.check(f"CurrencyPath2={user}" in conf, "the user's currency folder is under XDG_DATA_HOME", conf)

        # Half a step per tick: every second tick draws, with the two halves added up.
        r = run(["--headless", "--frames", "2", "--size", "64x48", "--step", "0.01", "--trace", trace], env)
        lines = read_trace(trace)
        t.check(r.returncode == 0 and len(lines) == 2 and abs(lines[0]["StepTime"] - 0.02) < 1e-12,
                "steps under 1/60 s add up before a frame is drawn", [f["StepTime"] for f in lines])


def bad_data_test():
    """A bundle with nothing usable: the saver says why, draws black, and does not give up."""
    with temp_folder("corvan3d-e2e-") as home:
        empty = os.path.join(home, "empty-bundle")
        os.makedirs(empty)
        env = private_env(home, CORVAN3D_DATA_DIR=empty)
        out, trace = os.path.join(home, "frames"), os.path.join(home, "trace.jsonl")
        r = run(["--headless", "--frames", "3", "--size", "64x48", "--out", out, "--trace", trace], env)
        t.check(r.returncode == 0, "no currencies is not a reason to stop", r.stderr)
        t.check("corvan3d: " in r.stderr, "the reason is on standard error", r.stderr)
        t.check(len(glob.glob(os.path.join(out, "*.png"))) == 3, "black frames are still written")
        lines = read_trace(trace)
        t.check(len(lines) == 3 and all(f["Notes"] == [] for f in lines), "the trace shows an empty world", lines[:1])


def no_display_test():
    with temp_folder("corvan3d-e2e-") as home:
        env = private_env(home)
        r = run([], env, timeout=300)
        folder = os.path.join(home, "corvan3d-frames")
        t.check(r.returncode == 0, "without a display corvan3d renders offscreen", r.stderr)
        t.check("no display" in r.stdout and folder in r.stdout, "and says where the frames are", r.stdout)
        frames = glob.glob(os.path.join(folder, "frame-*.png"))
        t.check(len(frames) == 150, "fifteen seconds of the scene in tenths", len(frames))
        if frames:
            width, height, _ = png_pixels(sorted(frames)[-1])
            t.check((width, height) == (1280, 720), "at 1280x720", (width, height))


def command_line_test():
    with temp_folder("corvan3d-e2e-") as home:
        env = private_env(home)
        for args in (["--bogus"], ["--frames", "5"], ["--headless", "--size", "wide"], ["--fullscreen", "--root"]):
            r = run(args, env)
            t.check(r.returncode == 1 and "usage: corvan3d" in r.stderr, f"{' '.join(args)} is refused", r.stderr)
        r = run(["--settings"], env)
        t.check(r.returncode == 1 and "the settings window needs a display" in r.stderr,
                "--settings without a display says so", r.stderr)
        r = run(["--help"], env)
        t.check(r.returncode == 0 and r.stdout.startswith("usage: corvan3d"), "--help prints the usage", r.stdout)
        r = run(["--headless", "--frames", "1", "--size", "32x32", "--out", "/proc/no-such-place"], env)
        t.check(r.returncode == 1 and "/proc/no-such-place" in r.stderr, "an unusable --out folder is an error",
                r.stderr)


frames_test()
timing_and_store_test()
bad_data_test()
command_line_test()
no_display_test()
t.finish()
