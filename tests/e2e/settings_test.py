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

import os, sys

import e2e

try:
    import pyatspi
except ImportError:
    e2e.skip("pyatspi not installed (scripts/install-deps)")

CORVAN3D, DOSH, BUNDLE = sys.argv[1:4]


def find(node, role, name=None):
    # The first node under node with this role (and name), depth first.
    for child in filter(None, node):
        if child.getRoleName() == role and name in (None, child.name):
            return child
        if (found := find(child, role, name)) is not None:
            return found


def press(node, name, role="push button"):
    find(node, role, name).queryAction().doAction(0)


items = lambda combo: [item.name for item in find(combo, "menu")]
choose = lambda combo, name: combo.querySelection().selectChild(items(combo).index(name))
showing = lambda node: node.getState().contains(pyatspi.STATE_SHOWING)


def options():
    # Presses Options… and waits for the options beside the preview.
    press(app, "Options…")
    sheet = lambda: (found := find(app, "filler", "Options")) and showing(found) and found
    return e2e.wait_until(sheet, 30, "Options…")


def described(text):
    # The preview says what it shows: the stored settings, then those saved.
    e2e.wait_until(lambda: preview.description == text, 60, text)


home, screen = e2e.make_home(), e2e.Screen()
user = f"{home}/data/corvan3d/CorvanData"
# The bundle's own currency is not offered; one of the test's own is.
peso = e2e.currency(DOSH, BUNDLE, "Test Peso", f"{home}/made/Peso.dosh")
offered = {"Euro.dosh": open(f"{BUNDLE}/Euro.dosh", "rb").read(), "Peso.dosh": peso}
server = e2e.offer(home, DOSH, offered, "<string>Stalls;/bad/stall.dosh</string>")[0]
env = e2e.private_env(home, DISPLAY=screen.name, NO_AT_BRIDGE="0", CORVAN3D_DATA_DIR=BUNDLE)
env["LC_ALL"] = "C.UTF-8"
e2e.store(
    env,
    NumNotes=500,
    NoteSize=150,
    RotMode=3,
    ZoomIn="true",
    ClockSize=90,
    SelectedCurrency="Euro.dosh",
    CatalogueServer=server,
)
process = e2e.spawn(CORVAN3D, "--settings", env=env)
app = e2e.wait_until(
    lambda: find(pyatspi.Registry.getDesktop(0), "application", "corvan3d-settings"), 60, "opens"
)
preview = e2e.wait_until(lambda: find(app, "drawing area", "Preview"), 30, "a preview")
described("500 notes of Euro")
x, y, w, h = preview.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
box = (x, y, x + w, y + h)
screen.drawn("the preview draws", box)
# The keyboard goes where the pointer is.
screen.xdo("mousemove", x + w // 2, y + h // 2)

# The preview stays in view and moves on while the options are open.
sheet = options()
first = screen.image(box)
e2e.wait_until(lambda: screen.image(box) != first, 30, "the preview moves on")
e2e.expect(showing(preview), True, "the preview shows")
notes = find(sheet, "spin button", "Notes")
notes.queryValue().currentValue = 1234
choose(find(sheet, "combo box", "Currency"), "Japanese Yen")
for name in ("Show a clock", "12-hour time"):
    press(sheet, name, "check box")
before = e2e.store(env)
press(sheet, "Save")
# Save stores what the controls show, and only that; it closes the options and rebuilds the preview.
after = e2e.wait_until(lambda: (s := e2e.store(env)) != before and s, 30, "Save stores")
saved = dict(NumNotes="1234", SelectedCurrency="Japan.dosh", ShowClock="true", Clock12Hr="true")
saved |= dict(MixCurrency="false", MainMonitorOnly="false", IdleMinutes="5")
e2e.expect(after, before | saved, "saved")
e2e.expect(showing(sheet), False, "Save closes")
described("1234 notes of Japanese Yen")

# Defaults then Cancel, and Escape, leave the store as it was; Return saves what was typed.
options()
press(sheet, "Defaults")
e2e.expect(notes.queryValue().currentValue, 500, "Defaults")
press(sheet, "Cancel")
e2e.wait_until(lambda: not showing(sheet), 30, "Cancel closes")
options()
screen.xdo("key", "Escape")
e2e.wait_until(lambda: not showing(sheet), 30, "Escape closes")
e2e.expect(e2e.store(env), after, "nothing stored")
# The number of notes has the focus, all of it selected.
options()
screen.xdo("key", "7", "7", "Return")
e2e.wait_until(lambda: e2e.store(env)["NumNotes"] == "77", 30, "Return saves")

# The catalogue is listed but for what the bundle holds; a download completes into the user's
# folder, and the installed currency drops out of the list. A download under way keeps its file
# hidden (its progress is the sheet's host tests' work); a signal ends the window cleanly, leaving
# nothing of it.
options()
offers = find(sheet, "combo box", "Available currencies")
status = find(sheet, "label", "Download status").queryText()
press(sheet, "Check for Downloads")
listed = lambda *names: e2e.wait_until(lambda: items(offers) == [*names], 30, f"lists {names}")
said = lambda text: e2e.wait_until(lambda: status.getText(0, -1) == text, 60, f"says {text!r}")
listed("Test Peso", "Stalls")
choose(offers, "Test Peso")
press(sheet, "Download")
said("Download Complete!")
e2e.expect(open(f"{user}/Peso.dosh", "rb").read(), peso, "installed")
listed("Stalls")
choose(offers, "Stalls")
press(sheet, "Download")
hidden = lambda: [n for n in os.listdir(user) if n.startswith(".corvan3d-download")]
e2e.wait_until(hidden, 30, "hidden while it arrives")
e2e.expect(e2e.stop(process), 0, "SIGTERM")
e2e.expect(os.listdir(user), ["Peso.dosh"], "nothing left")
e2e.finish()
