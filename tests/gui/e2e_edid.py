#!/usr/bin/python3
"""orve1 against orve1-sim, through the accessibility bus: EDID > Upload EDID with the image
of start-up asks first, and Cancel sends nothing; File > Open a real EDID, Upload EDID (about
28 s), Write EDID, Read EDID, File > Save As: the saved file and the file the simulator wrote
both equal the file opened.

    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/e2e_edid.py build/bin
"""

import os
import sys
import tempfile
import time

import pyatspi

from atspi_util import Checks, Session, bin_dir_from_args, find, press, text_of, wait_for, walk

UPLOAD_S = 60


def data_file():
    here = os.path.dirname(os.path.abspath(__file__))
    base = os.environ.get("ORVE1_TEST_DATA", os.path.join(here, "..", "data"))
    return os.path.join(base, "dell-p2415q-hdmi2.0.bin")


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def cpu_seconds(pid):
    """User and system time of a process so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def find_shown(root, name, role=None):
    """Like find, among what is on the screen: hidden windows stay on the bus."""
    for node in walk(root):
        try:
            if node.name == name and (role is None or node.getRole() == role) and showing(node):
                return node
        except Exception:
            continue
    return None


def box_with(app, text):
    """The message box (or dialog) on the screen that shows text."""
    label = wait_for(lambda: find_shown(app, text))
    node = label
    while node is not None and node.getRole() not in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT):
        node = node.parent
    return node


def close_box(app, text, button="OK"):
    box = box_with(app, text)
    ok = find(box, button, pyatspi.ROLE_PUSH_BUTTON) if box else None
    if ok is None:
        return False
    press(ok)
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
    return wait_for(lambda: find_shown(s.app, title, pyatspi.ROLE_DIALOG) is None, 10) is not None


def main():
    check = Checks()
    sample = data_file()
    expected = read_bytes(sample)
    work = tempfile.TemporaryDirectory(prefix="orve1-edid-")
    written = os.path.join(work.name, "generator.bin")
    saved = os.path.join(work.name, "read back.bin")
    with Session(bin_dir_from_args(), sim_args=["--edid", written]) as s:
        if not (check(s.app is not None, "orve1 is on the accessibility bus") and
                check(len(expected or b"") == 256, "a 256-byte EDID to open") and
                s.connect(check)):
            return check.result()

        # Right after start-up the image is 256 zeros: Upload EDID asks, Cancel sends nothing.
        s.press_menu_in_background("EDID", "Upload EDID")
        box = box_with(s.app, "Cancel")
        check(box is not None and find(box, "Upload", pyatspi.ROLE_PUSH_BUTTON) is not None,
              "Upload EDID of the start-up image asks, with 'Upload' and 'Cancel'")
        if box is not None:
            press(find(box, "Cancel", pyatspi.ROLE_PUSH_BUTTON))
        time.sleep(1.5)
        check(not any("UEDID" in line for line in s.sim_output()), "Cancel sent nothing")

        check(choose_file(s, "Open", "Open", "Open", sample), "File > Open took the sample")

        # The upload; its processor share is printed (it depends on the machine's load).
        upload = s.menu_item("EDID", "Upload EDID")
        cpu0, t0 = cpu_seconds(s.program.pid), time.monotonic()
        press(upload)
        wait_for(lambda: find_shown(s.app, "Upload successful!!"), UPLOAD_S)
        took = time.monotonic() - t0
        cpu = cpu_seconds(s.program.pid) - cpu0
        check(s.wait_sim("UEDID 256 bytes -> stored", 5), "simulator stored 256 bytes")
        print("upload: %.1f s to its message, %.1f %% of a core" % (took, 100.0 * cpu / took),
              flush=True)
        check(close_box(s.app, "Upload successful!!"), "'Upload successful!!' shown and closed")

        press(s.menu_item("EDID", "Write EDID"))
        check(s.wait_sim("WEDID -> written to " + written), "simulator wrote its EDID")
        check(close_box(s.app, "Write EDID successful!!"), "'Write EDID successful!!' shown")
        check(read_bytes(written) == expected, "the simulator's EDID equals the file opened")

        press(s.menu_item("EDID", "Read EDID"))
        check(close_box(s.app, "  Read EDID Successful!!  "), "'  Read EDID Successful!!  ' shown")
        check(choose_file(s, "Save As...", "Save As", "Save", saved), "File > Save As saved")
        check(wait_for(lambda: read_bytes(saved) == expected, 5),
              "the file saved after the read equals the file opened")
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
