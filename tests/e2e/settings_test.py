# corvan3d --settings under Xvfb, used as a person would, through the
# window's accessibility tree and the keyboard: the options open beside a
# preview that keeps moving; change the controls and save, find them in the
# store and in the rebuilt preview; Return saves, Escape and Defaults then
# Cancel leave the store alone; list the catalogue of a server of the test's
# own and install a currency from it; a signal during a download leaves
# nothing behind.
#
# usage: dbus-run-session -- settings_test.py CORVAN3D CORVAN-DOSH BUNDLE-DIR
# (run with the Python that has pyatspi, Debian's python3-pyatspi)

import os, subprocess, sys, tempfile

import e2e

try:
    import pyatspi
except ImportError:
    e2e.skip("pyatspi is not installed (Debian's python3-pyatspi)")

CORVAN3D, DOSH, BUNDLE = sys.argv[1:4]
NAMES = {
    "USA.dosh": "US Dollar",
    "Euro.dosh": "Euro",
    "Japan.dosh": "Japanese Yen",
    "UK.dosh": "Pound Sterling",
    "Switzerland.dosh": "Swiss Franc",
}
FIRST, *_, LAST = [name for name in os.listdir(BUNDLE) if name in NAMES]  # as the saver lists them


def find(node, role, name=None):
    # The first node under node with this role (and name), depth first.
    for child in filter(None, node):
        if child.getRoleName() == role and name in (None, child.name):
            return child
        if (found := find(child, role, name)) is not None:
            return found


def press(node, name, role="push button"):
    find(node, role, name).queryAction().doAction(0)


def items(combo):
    return [item.name for item in find(combo, "menu")]


def choose(combo, name):
    combo.querySelection().selectChild(items(combo).index(name))


def text(node):
    return node.queryText().getText(0, -1)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def options(app):
    # Presses Options… and waits for the options beside the preview.
    press(app, "Options…")
    return e2e.wait_until(
        lambda: (sheet := find(app, "filler", "Options")) and showing(sheet) and sheet, 10
    )


def key(screen, name):
    # A key pressed and released as a person would, on the window under the pointer.
    code = screen("XKeysymToKeycode", {"Return": 0xFF0D, "Escape": 0xFF1B, "7": 0x37}[name])
    for down in (1, 0):
        screen("XTestFakeKeyEvent", code, down, 0)


with tempfile.TemporaryDirectory(prefix="corvan-settings-") as home, e2e.xvfb() as screen:
    # The bundle's own currency is not offered; two of the test's own are.
    offered = {"Switzerland.dosh": open(f"{BUNDLE}/Switzerland.dosh", "rb").read()} | {
        f"{name}.dosh": e2e.currency(DOSH, BUNDLE, f"Test {name}", f"{home}/made/{name}.dosh")
        for name in ("Peso", "Krona")
    }
    server = e2e.offer(
        home, DOSH, offered, f"{BUNDLE}/Euro.dosh", "<string>Stalls;/bad/half-stall.dosh</string>"
    )[0]

    env = e2e.private_env(
        home, DISPLAY=screen.name, NO_AT_BRIDGE="0", CORVAN3D_DATA_DIR=BUNDLE, LC_ALL="C.UTF-8"
    )
    user = f"{home}/data/corvan3d/CorvanData"
    e2e.write_store(
        env,
        NumNotes=500,
        NoteSize=150,
        RotMode=3,
        ZoomIn="true",
        ClockSize=90,
        SelectedCurrency=FIRST,
        CatalogueServer=server,
    )
    process = subprocess.Popen([CORVAN3D, "--settings"], env=env)
    try:
        app = e2e.wait_until(
            lambda: find(pyatspi.Registry.getDesktop(0), "application", "corvan3d-settings"), 30
        )
        e2e.check(app is not None, "the settings window appears")
        preview = e2e.wait_until(lambda: find(app, "drawing area", "Preview"), 10)
        e2e.check(
            e2e.wait_until(lambda: preview.description == f"500 notes of {NAMES[FIRST]}", 30),
            "the preview shows the stored settings",
            preview.description,
        )
        x, y, w, h = preview.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        box = (x, y, x + w, y + h)
        screen.drawn("the preview draws notes", box)
        screen(
            "XTestFakeMotionEvent", 0, x + w // 2, y + h // 2, 0
        )  # the keyboard goes where the pointer is

        sheet = options(app)
        first = screen.image(box)
        e2e.check(
            e2e.wait_until(lambda: screen.image(box) != first, 10) and showing(preview),
            "the preview stays in view and moves on while the options are open",
        )
        notes, currency = find(sheet, "spin button", "Notes"), find(sheet, "combo box", "Currency")
        e2e.check(notes.queryValue().currentValue == 500, "Options… shows the number of notes")
        notes.queryValue().currentValue = 1234
        choose(currency, NAMES[LAST])
        for box in ("Show a clock", "12-hour time"):
            press(sheet, box, "check box")
        before = e2e.read_store(env)
        press(sheet, "Save")
        after = (
            e2e.wait_until(lambda: (store := e2e.read_store(env)) != before and store, 10) or before
        )
        e2e.check(after != before and not showing(sheet), "Save closes the sheet")
        changed = {
            key: after.get(key)
            for key in set(after) | set(before)
            if after.get(key) != before.get(key)
        }
        e2e.check(
            changed
            == {
                "NumNotes": "1234",
                "SelectedCurrency": LAST,
                "ShowClock": "true",
                "Clock12Hr": "true",
                "MixCurrency": "false",
                "MainMonitorOnly": "false",
                "IdleMinutes": "5",
            },
            "Save stores what the controls show, and only that",
            changed,
        )
        e2e.check(
            e2e.wait_until(lambda: preview.description == f"1234 notes of {NAMES[LAST]}", 20),
            "the preview is rebuilt with the new settings",
            preview.description,
        )

        options(app)
        press(sheet, "Defaults")
        e2e.check(notes.queryValue().currentValue == 500, "Defaults puts 500 notes in the sheet")
        press(sheet, "Cancel")
        e2e.check(e2e.read_store(env) == after, "Defaults then Cancel leave the store as it was")

        options(app)
        key(screen, "Escape")
        e2e.check(
            e2e.wait_until(lambda: not showing(sheet), 10) and e2e.read_store(env) == after,
            "Escape closes the options and stores nothing",
        )
        options(app)  # the number of notes has the focus, all of it selected
        for name in ("7", "7", "Return"):
            key(screen, name)
        e2e.check(
            e2e.wait_until(
                lambda: e2e.read_store(env).get("NumNotes") == "77" and not showing(sheet), 10
            ),
            "Return saves what was typed",
            e2e.read_store(env).get("NumNotes"),
        )

        options(app)
        offers, status = find(sheet, "combo box", "Available currencies"), find(
            sheet, "label", "Download status"
        )
        press(sheet, "Check for Downloads")
        e2e.check(
            e2e.wait_until(lambda: items(offers) == ["Test Krona", "Test Peso", "Stalls"], 15),
            "the catalogue is listed, but for what the bundle holds",
            items(offers),
        )
        choose(offers, "Test Peso")
        press(sheet, "Download")
        e2e.check(
            e2e.wait_until(lambda: text(status) == "Download Complete!", 30)
            and open(f"{user}/Peso.dosh", "rb").read() == offered["Peso.dosh"],
            "the download completes into the user's folder",
            text(status),
        )
        e2e.check(
            e2e.wait_until(lambda: items(offers) == ["Test Krona", "Stalls"], 15),
            "the installed currency drops out of the list",
            items(offers),
        )

        choose(offers, "Stalls")
        press(sheet, "Download")
        e2e.check(
            e2e.wait_until(
                lambda: text(status) == "Downloading, Please Wait: 50.00% Complete\n"
                and any(n.startswith(".corvan3d-download") for n in os.listdir(user)),
                10,
            ),
            "a download under way shows its progress, and keeps the file hidden",
            text(status),
        )
        e2e.check(
            e2e.stop(process) == 0, "a signal ends the settings window cleanly", process.returncode
        )
        e2e.check(
            os.listdir(user) == ["Peso.dosh"], "nothing left of the download", os.listdir(user)
        )
    finally:
        e2e.stop(process)
e2e.finish()
