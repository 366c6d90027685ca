"""Driving orve1 through the accessibility bus, as a screen reader sees it.

Shared by the checks in this folder. Run them under an X server and a D-Bus session, e.g.
    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/<check>.py build/bin
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


def find_all(root, role):
    out = []
    for node in walk(root):
        try:
            if node.getRole() == role:
                out.append(node)
        except Exception:
            continue
    return out


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


def text_of(node):
    try:
        t = node.queryText()
        return t.getText(0, t.characterCount)
    except Exception:
        return ""


def menu_entry(app, menu, item):
    """menu > item; the menu bar shows each menu as a menu item holding a popup menu."""
    bar = find(app, "Menu bar")
    for i in range(bar.childCount if bar else 0):
        top = bar.getChildAtIndex(i)
        if top is not None and top.name.replace("&", "") == menu:
            for node in walk(top):
                if (node is not top and node.getRole() == pyatspi.ROLE_MENU_ITEM and
                        node.name.replace("&", "") == item):
                    return node
    return None


def keys(*syms):
    """Types key symbols (X keysyms) into whatever has the keyboard focus."""
    for sym in syms:
        pyatspi.Registry.generateKeyboardEvent(sym, None, pyatspi.KEY_SYM)
        time.sleep(0.03)


def focused(node):
    """Waits until node has the keyboard focus, so that keys go where they are meant."""
    return wait_for(lambda: node is not None and
                    node.getState().contains(pyatspi.STATE_FOCUSED), 5)


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


def press_in_background(name, role=pyatspi.ROLE_PUSH_BUTTON):
    """Presses a control from another process: a control that opens a modal window answers the
    accessibility call only once that window has closed."""
    code = (
        "import sys; sys.path.insert(0, %r)\n"
        "import atspi_util as a\n"
        "app = a.wait_for(a.find_app)\n"
        "b = a.wait_for(lambda: a.find(app, %r, %r))\n"
        "a.press(b)\n" % (os.path.dirname(os.path.abspath(__file__)), name, role)
    )
    return subprocess.Popen([sys.executable, "-c", code], stderr=subprocess.DEVNULL)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def find_shown(root, name, role=None):
    """Like find, among what is on the screen: hidden windows stay on the bus."""
    for node in walk(root):
        try:
            if (node.name == name and (role is None or node.getRole() == role) and
                    node.getState().contains(pyatspi.STATE_SHOWING)):
                return node
        except Exception:
            continue
    return None


def box_with(app, text):
    """The message box or dialog on the screen that shows text."""
    node = wait_for(lambda: find_shown(app, text))
    while node is not None and node.getRole() not in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT):
        node = node.parent
    return node


def answer_box(app, text, button="OK"):
    box = box_with(app, text)
    if box is None or not press(find(box, button, pyatspi.ROLE_PUSH_BUTTON)):
        return False
    return wait_for(lambda: find_shown(app, text) is None, 5) is not None


def choose_file(s, menu_item, title, button, path):
    """File > menu_item, the dialog's file name set to path, then its button."""
    s.press_menu_in_background("File", menu_item)
    dialog = wait_for(lambda: find_shown(s.app, title, pyatspi.ROLE_DIALOG))
    field = find(dialog, "File name:", pyatspi.ROLE_TEXT) if dialog else None
    if field is None:
        return False
    field.queryEditableText().setTextContents(path)
    wait_for(lambda: text_of(field) == path, 5)
    press(find(dialog, button, pyatspi.ROLE_PUSH_BUTTON))
    return wait_for(lambda: find_shown(s.app, title, pyatspi.ROLE_DIALOG) is None, 10)


class Checks:
    """Prints each check as it goes and remembers the failures."""

    def __init__(self):
        self.failures = []

    def __call__(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok

    def result(self):
        print("%d check(s) failed" % len(self.failures) if self.failures else "all checks passed")
        return 1 if self.failures else 0


class Session:
    """orve1 on the accessibility bus, optionally with orve1-sim registered as COM 1, in a
    runtime directory of its own. Use as a context manager; everything is stopped on exit."""

    def __init__(self, bin_dir, sim_args=None, program_args=(), env_extra=None):
        self.bin_dir = bin_dir
        self.sim_args = sim_args
        self.program_args = list(program_args)
        self.runtime = tempfile.TemporaryDirectory(prefix="orve1-atspi-")
        self.env = dict(os.environ)
        self.env["XDG_RUNTIME_DIR"] = self.runtime.name
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env["QT_ACCESSIBILITY"] = "1"
        self.env["QT_QPA_PLATFORM"] = "xcb"
        self.env.update(env_extra or {})
        self.sim = None
        self.sim_lines = []
        self.program = None
        self.app = None
        self.helpers = []

    def __enter__(self):
        if self.sim_args is not None:
            self.sim = subprocess.Popen(
                [os.path.join(self.bin_dir, "orve1-sim"), "--port", "1"] + list(self.sim_args),
                env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            self.sim_lines.append(self.sim.stdout.readline().strip())
            os.set_blocking(self.sim.stdout.fileno(), False)
        # Bring up the accessibility bus and its registry before the program looks for them,
        # so that it registers at once rather than racing their start.
        pyatspi.Registry.getDesktop(0).childCount
        self.program = subprocess.Popen(
            [os.path.join(self.bin_dir, "orve1")] + self.program_args, env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = wait_for(find_app)
        return self

    def __exit__(self, *exc):
        for proc in [self.program] + self.helpers + [self.sim]:
            if proc is None:
                continue
            if proc.poll() is None:
                proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
        self.runtime.cleanup()
        return False

    def background_press(self, name, role=pyatspi.ROLE_PUSH_BUTTON):
        proc = press_in_background(name, role)
        self.helpers.append(proc)
        return proc

    def sim_output(self):
        """Every line the simulator printed so far."""
        if self.sim is not None:
            try:
                chunk = self.sim.stdout.read()
            except (BlockingIOError, TypeError):
                chunk = None
            if chunk:
                self.sim_lines.extend(chunk.splitlines())
        return self.sim_lines

    def wait_sim(self, text, timeout=TIMEOUT_S):
        return wait_for(lambda: any(text in line for line in self.sim_output()), timeout)

    def menu_item(self, menu, item):
        """The entry item of the menu bar's menu (captions without their '&')."""
        return menu_entry(self.app, menu, item)

    def press_menu_in_background(self, menu, item):
        """An entry that opens a modal window answers only once it has closed: press it from
        another process."""
        code = ("import sys; sys.path.insert(0, %r)\n"
                "import atspi_util as a\n"
                "app = a.wait_for(a.find_app)\n"
                "a.press(a.wait_for(lambda: a.menu_entry(app, %r, %r)))\n"
                % (os.path.dirname(os.path.abspath(__file__)), menu, item))
        proc = subprocess.Popen([sys.executable, "-c", code], stderr=subprocess.DEVNULL)
        self.helpers.append(proc)
        return proc

    def connect(self, check):
        """Connect, keep COM 1, OK: True once the status bar says the generator is there."""
        self.background_press("Connect")
        dialog = wait_for(lambda: find(self.app, "COM Port Setting ", pyatspi.ROLE_DIALOG))
        if not check(dialog is not None, "port dialog 'COM Port Setting ' opened"):
            return False
        ok = find(dialog, "OK", pyatspi.ROLE_PUSH_BUTTON)
        if not check(ok is not None, "OK button found"):
            return False
        press(ok)
        return check(wait_for(lambda: find(self.app, PRESENT)) is not None,
                     "status panel turned to '%s'" % PRESENT)


def bin_dir_from_args():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    return args[0] if args else os.environ.get("ORVE1_BIN_DIR", "build/bin")
