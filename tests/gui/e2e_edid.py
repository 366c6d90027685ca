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

from atspi_util import (Checks, Session, answer_box, bin_dir_from_args, box_with, choose_file,
                        cpu_seconds, find_shown, press, wait_for)


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def main():
    check = Checks()
    data = os.environ.get("ORVE1_TEST_DATA",
                          os.path.join(os.path.dirname(os.path.abspath(__file__)), "../data"))
    sample = os.path.join(data, "dell-p2415q-hdmi2.0.bin")
    expected = read_bytes(sample)
    work = tempfile.TemporaryDirectory(prefix="orve1-edid-")
    written = os.path.join(work.name, "generator.bin")
    saved = os.path.join(work.name, "read back.bin")
    # The generator follows every EDID block with a line end and "OK".
    with Session(bin_dir_from_args(),
                 sim_args=["--edid", written, "--block-trailer", r"\r\nOK\r\n"]) as s:
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
