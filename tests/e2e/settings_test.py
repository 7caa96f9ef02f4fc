"""corvan3d --settings under Xvfb, used as a person would, through the
window's accessibility tree: change the number of notes and save, find it in
the store and in the rebuilt preview; Defaults then Cancel leaves the store
alone; list the catalogue of a server of the test's own and install a
currency from it; a signal during a download leaves nothing behind.

usage: dbus-run-session -- settings_test.py CORVAN3D CORVAN-DOSH BUNDLE-DIR [SHOTS-DIR]
(run with the Python that has pyatspi, Debian's python3-pyatspi)"""

import os
import shutil
import subprocess
import sys

import e2e

try:
    import pyatspi
except ImportError:
    if os.environ.get("CI") == "true":
        raise
    e2e.skip("pyatspi is not installed (Debian's python3-pyatspi)")

CORVAN3D, DOSH, BUNDLE = sys.argv[1:4]
SHOTS = sys.argv[4] if len(sys.argv) > 4 else None
CATALOGUE = "/mac/zips/corvan/corvanCurrencies-v11.plist"


def find(node, role, name=None):
    """The first node under node with this role (and name), depth first."""
    for child in node:
        if child is None:
            continue
        if child.getRoleName() == role and (name is None or child.name == name):
            return child
        found = find(child, role, name)
        if found is not None:
            return found
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "corvan3d":
            return app
    return None


def press(app, name):
    find(app, "push button", name).queryAction().doAction(0)


def choose(combo, name):
    combo.querySelection().selectChild(items(combo).index(name))


def text_of(node):
    return node.queryText().getText(0, -1)


def items(combo):
    return [item.name for item in find(combo, "menu")]


def store_text(env):
    path = os.path.join(env["XDG_CONFIG_HOME"], "corvan3d", "baCorvan3D.conf")
    return open(path).read() if os.path.exists(path) else ""


def main():
    tally = e2e.Tally()
    with e2e.temp_folder("corvan-settings-") as home, e2e.xvfb(1024, 768) as display:
        site = os.path.join(home, "site")
        offered = os.path.join(site, CATALOGUE.rsplit("/", 1)[0].lstrip("/"))
        os.makedirs(offered)
        for name in ("Switzerland.dosh", "Japan.dosh"):
            shutil.copy(os.path.join(BUNDLE, name), offered)
        catalogue = subprocess.run([DOSH, "catalogue", offered], capture_output=True, check=True).stdout
        catalogue = catalogue.replace(b"</array>", b"\t<string>Stalls;/bad/stall.dosh</string>\n</array>")
        open(os.path.join(site, CATALOGUE.lstrip("/")), "wb").write(catalogue)
        server = e2e.serve(site, os.path.join(BUNDLE, "Euro.dosh"))

        env = e2e.private_env(home, DISPLAY=display, NO_AT_BRIDGE="0")
        env["CORVAN3D_DATA_DIR"] = BUNDLE
        user = os.path.join(home, "data", "corvan3d", "CorvanData")
        e2e.write_store(env, NumNotes=500, NoteSize=150, RotMode=3, ZoomIn="true", ClockSize=90,
                        SelectedCurrency="USA.dosh", CatalogueServer=f"http://127.0.0.1:{server.server_port}")
        process = subprocess.Popen([CORVAN3D, "--settings"], env=env)

        def shot(name):
            if SHOTS:
                os.makedirs(SHOTS, exist_ok=True)
                width, _, rows = e2e.screenshot(display)
                e2e.write_png(os.path.join(SHOTS, name + ".png"), width, rows)

        try:
            app = e2e.wait_until(application, 30)
            if not tally.check(app is not None, "the settings window appears"):
                tally.finish()
            preview = e2e.wait_until(lambda: find(app, "drawing area", "Preview"), 10)
            shown = e2e.wait_until(lambda: preview.description == "500 notes of US Dollar", 30)
            tally.check(shown, "the preview shows the stored settings", preview.description)
            fraction, _ = e2e.wait_for_drawing(display, (10, 10, 480, 270))
            tally.check(fraction > 0.002, "the preview draws notes", f"{fraction:.4f} lit")
            shot("preview")

            press(app, "Options…")
            sheet = e2e.wait_until(lambda: find(app, "frame", "Corvan 3D Options"), 10)
            tally.check(sheet is not None, "Options… opens the sheet")
            notes = find(sheet, "spin button", "Notes")
            tally.check(notes.queryValue().currentValue == 500, "the sheet shows the number of notes")
            notes.queryValue().currentValue = 1234
            shot("sheet")
            press(sheet, "Save")
            saved = e2e.wait_until(lambda: "NumNotes=1234" in store_text(env), 10)
            tally.check(saved, "Save writes the number of notes to the store", store_text(env))
            rebuilt = e2e.wait_until(lambda: preview.description == "1234 notes of US Dollar", 20)
            tally.check(rebuilt, "the preview is rebuilt with the new number", preview.description)
            tally.check(not sheet.getState().contains(pyatspi.STATE_SHOWING), "Save closes the sheet")

            before = store_text(env)
            press(app, "Options…")
            e2e.wait_until(lambda: sheet.getState().contains(pyatspi.STATE_SHOWING), 10)
            press(sheet, "Defaults")
            tally.check(notes.queryValue().currentValue == 500, "Defaults puts 500 notes in the sheet")
            press(sheet, "Cancel")
            tally.check(store_text(env) == before, "Defaults then Cancel leave the store as it was")

            press(app, "Options…")
            e2e.wait_until(lambda: sheet.getState().contains(pyatspi.STATE_SHOWING), 10)
            offers = find(sheet, "combo box", "Available currencies")
            press(sheet, "Check for Downloads")
            listed = e2e.wait_until(lambda: items(offers) == ["Japanese Yen", "Swiss Franc", "Stalls"], 15)
            tally.check(listed, "the catalogue is listed", str(items(offers)))
            choose(offers, "Swiss Franc")
            press(sheet, "Download")
            status = find(sheet, "label", "Download status")
            done = e2e.wait_until(lambda: text_of(status) == "Download Complete!", 30)
            tally.check(done, "the download completes", text_of(status))
            installed = os.path.join(user, "Switzerland.dosh")
            tally.check(os.path.exists(installed) and open(installed, "rb").read()
                        == open(os.path.join(BUNDLE, "Switzerland.dosh"), "rb").read(),
                        "the currency is installed in the user's folder")
            relisted = e2e.wait_until(lambda: items(offers) == ["Japanese Yen", "Stalls"], 15)
            tally.check(relisted, "the installed currency drops out of the list", str(items(offers)))
            shot("downloaded")

            choose(offers, "Stalls")
            press(sheet, "Download")
            e2e.wait_until(lambda: os.path.exists(user) and
                           any(n.startswith(".corvan3d-download") for n in os.listdir(user)), 10)
            status_code = e2e.stop(process)
            tally.check(status_code == 0, "a signal ends the settings window cleanly", str(status_code))
            tally.check(sorted(os.listdir(user)) == ["Switzerland.dosh"],
                        "a download cut short leaves nothing behind", str(os.listdir(user)))
        finally:
            e2e.stop(process)
            server.shutdown()
    tally.finish()


main()
