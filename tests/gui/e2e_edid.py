#!/usr/bin/python3
"""orve1 against orve1-sim, through the accessibility bus: Upload EDID of the start-up image
asks first, and Cancel sends nothing; File > Open a real EDID, Upload EDID (about 28 s), Write
EDID, Read EDID, File > Save As: the saved file and the simulator's written EDID both equal
the file opened.

    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/e2e_edid.py build/bin
"""

import os
import sys
import tempfile
import time

import pyatspi

from atspi_util import Checks, Session, bin_dir_from_args, find, press, text_of, wait_for, walk


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


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


def main():
    check = Checks()
    data = os.environ.get("ORVE1_TEST_DATA",
                          os.path.join(os.path.dirname(os.path.abspath(__file__)), "../data"))
    sample = os.path.join(data, "dell-p2415q-hdmi2.0.bin")
    expected = read_bytes(sample)
    work = tempfile.TemporaryDirectory(prefix="orve1-edid-")
    written = os.path.join(work.name, "generator.bin")
    saved = os.path.join(work.name, "read back.bin")
    with Session(bin_dir_from_args(), sim_args=["--edid", written]) as s:
        if not (check(s.app is not None, "orve1 is on the accessibility bus") and
                check(len(expected or b"") == 256, "a 256-byte EDID to open") and
                s.connect(check)):
            return check.result()

        s.press_menu_in_background("EDID", "Upload EDID")
        check(box_with(s.app, "Upload") is not None and answer_box(s.app, "Upload", "Cancel"),
              "Upload EDID of the start-up image asks; 'Cancel' answers it")
        time.sleep(1.5)
        check(not any("UEDID" in line for line in s.sim_output()), "Cancel sent nothing")

        check(choose_file(s, "Open", "Open", "Open", sample), "File > Open took the sample")
        cpu0, t0 = cpu_seconds(s.program.pid), time.monotonic()
        press(s.menu_item("EDID", "Upload EDID"))
        wait_for(lambda: find_shown(s.app, "Upload successful!!"), 60)
        took = time.monotonic() - t0
        print("upload: %.1f s to its message, %.1f %% of a core (load-dependent)"
              % (took, 100.0 * (cpu_seconds(s.program.pid) - cpu0) / took), flush=True)
        check(s.wait_sim("UEDID 256 bytes -> stored", 5), "simulator stored 256 bytes")
        check(answer_box(s.app, "Upload successful!!"), "'Upload successful!!' shown")

        press(s.menu_item("EDID", "Write EDID"))
        check(answer_box(s.app, "Write EDID successful!!"), "'Write EDID successful!!' shown")
        check(read_bytes(written) == expected, "the simulator wrote the file opened")

        press(s.menu_item("EDID", "Read EDID"))
        check(answer_box(s.app, "  Read EDID Successful!!  "), "the read succeeded")
        check(choose_file(s, "Save As...", "Save As", "Save", saved), "File > Save As saved")
        check(wait_for(lambda: read_bytes(saved) == expected, 5), "the saved file equals it too")
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
