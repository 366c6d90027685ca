#!/usr/bin/python3
"""Checks orve1 through the accessibility bus, as a screen reader sees it.

Run under an X server and a D-Bus session, e.g.
    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/atspi_check.py build/bin
or, to also connect to the virtual generator through the port dialog,
    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/atspi_check.py --connect build/bin

The first argument (or ORVE1_BIN_DIR) is the folder holding orve1 and orve1-sim.
Exit status 0 when every check passed; the failed checks are printed.
"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi

ABSENT = " ORVE-1 Status : Not Exist"
PRESENT = " ORVE-1 Status : Exist"
TIMEOUT_S = 20


APP_NAMES = ("ORVE-1", "orve1")


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name in APP_NAMES:
            return app
    return None


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def find(root, name, role=None):
    for node in walk(root):
        try:
            if node.name == name and (role is None or node.getRole() == role):
                return node
        except Exception:
            continue
    return None


def wait_for(what, timeout=TIMEOUT_S):
    """Polls what() until it returns something true."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        result = what()
        if result:
            return result
        time.sleep(0.2)
    return None


def sensitive(node):
    return node.getState().contains(pyatspi.STATE_SENSITIVE)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "Press"):
            action.doAction(i)
            return True
    if action.nActions > 0:
        action.doAction(0)
        return True
    return False


def press_in_background(name):
    """Presses a button from another process: a button that opens a modal dialog answers the
    accessibility call only once that dialog has closed."""
    code = (
        "import sys; sys.path.insert(0, %r)\n"
        "import atspi_check as a\n"
        "app = a.wait_for(a.find_app)\n"
        "b = a.find(app, %r, a.pyatspi.ROLE_PUSH_BUTTON)\n"
        "a.press(b)\n" % (os.path.dirname(os.path.abspath(__file__)), name)
    )
    return subprocess.Popen([sys.executable, "-c", code], stderr=subprocess.DEVNULL)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    connect = "--connect" in sys.argv
    bin_dir = args[0] if args else os.environ.get("ORVE1_BIN_DIR", "build/bin")
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)
        return ok

    runtime = tempfile.TemporaryDirectory(prefix="orve1-atspi-")
    env = dict(os.environ)
    env["XDG_RUNTIME_DIR"] = runtime.name
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["QT_ACCESSIBILITY"] = "1"
    env["QT_QPA_PLATFORM"] = "xcb"
    env.pop("ORVE1_SHOW", None)

    sim = None
    if connect:
        sim = subprocess.Popen([os.path.join(bin_dir, "orve1-sim"), "--port", "1"], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        first = sim.stdout.readline().strip()
        check(first.startswith("orve1-sim: COM1 -> "), "simulator registered COM1 (%s)" % first)

    # Bring up the accessibility bus and its registry before the program looks for them, so
    # that it registers at once rather than racing their start.
    pyatspi.Registry.getDesktop(0).childCount
    program = subprocess.Popen([os.path.join(bin_dir, "orve1")], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    presser = None
    try:
        app = wait_for(find_app)
        if not check(app is not None, "orve1 is on the accessibility bus"):
            return 1
        frame = wait_for(lambda: find(app, "ORVE-1", pyatspi.ROLE_FRAME))
        check(frame is not None, "main window 'ORVE-1' found")
        buttons = {}
        for name in ("Connect", "Disconnect", "Timing", "Pattern"):
            buttons[name] = wait_for(lambda: find(app, name, pyatspi.ROLE_PUSH_BUTTON))
            check(buttons[name] is not None, "toolbar button '%s' found" % name)
        panel = wait_for(lambda: find(app, ABSENT))
        check(panel is not None, "status panel '%s' found" % ABSENT)
        if buttons["Connect"] and buttons["Disconnect"]:
            check(sensitive(buttons["Connect"]), "Connect enabled at start")
            check(not sensitive(buttons["Disconnect"]), "Disconnect disabled at start")
        gauge = find(app, "Progress", pyatspi.ROLE_PROGRESS_BAR)
        if check(gauge is not None, "progress gauge found"):
            check(gauge.queryValue().currentValue == 0, "gauge reads 0")

        if connect and buttons["Connect"]:
            presser = press_in_background("Connect")
            dialog = wait_for(lambda: find(app, "COM Port Setting ", pyatspi.ROLE_DIALOG))
            if check(dialog is not None, "port dialog 'COM Port Setting ' opened"):
                # A combo box is named after its current entry; the port list is the first.
                port = next((n for n in walk(dialog) if n.getRole() == pyatspi.ROLE_COMBO_BOX),
                            None)
                check(port is not None and port.name == "COM 1", "COM 1 preselected")
                device = find(dialog, "Device", pyatspi.ROLE_TEXT)
                check(device is not None and
                      _text(device).endswith("/orve1/COM1"), "device line shows the sim link")
                ok = find(dialog, "OK", pyatspi.ROLE_PUSH_BUTTON)
                if check(ok is not None, "OK button found"):
                    press(ok)
                present = wait_for(lambda: find(app, PRESENT))
                check(present is not None, "status panel turned to '%s'" % PRESENT)
                if present is not None:
                    check(not sensitive(buttons["Connect"]), "Connect disabled when present")
                    check(sensitive(buttons["Disconnect"]), "Disconnect enabled when present")
    finally:
        program.terminate()
        try:
            program.wait(5)
        except subprocess.TimeoutExpired:
            program.kill()
        if presser is not None:
            try:
                presser.wait(5)
            except subprocess.TimeoutExpired:
                presser.kill()
        if sim is not None:
            sim.terminate()
            try:
                sim.wait(5)
            except subprocess.TimeoutExpired:
                sim.kill()
        runtime.cleanup()

    print("%d check(s) failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


def _text(node):
    try:
        t = node.queryText()
        return t.getText(0, t.characterCount)
    except Exception:
        return ""


if __name__ == "__main__":
    sys.exit(main())
