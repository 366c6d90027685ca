#!/usr/bin/python3
"""orve1 against orve1-sim when the line fails, through the accessibility bus:
- the generator hangs up in the middle of a timing selection upload: the status bar turns to
  absent within about one supervision tick, "No Response !!" follows, and the program then sits
  idle (its CPU time over the next 2 s is printed);
- the main window is closed in the middle of the 28 s EDID upload: the program ends at once
  (the time from the close to the end is printed).

    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/e2e_link_faults.py build/bin
"""

import sys
import time

import pyatspi

from atspi_util import (ABSENT, PRESENT, Checks, Session, answer_box, bin_dir_from_args,
                        box_with, cpu_seconds, find, find_shown, press, wait_for)


def hang_up_mid_upload(check, bin_dir):
    with Session(bin_dir, sim_args=["--hangup-after", "12"]) as s:
        if not (check(s.app is not None, "orve1 is on the accessibility bus") and
                s.connect(check)):
            return
        s.press_menu_in_background("Edit", "Timing")
        dialog = wait_for(lambda: find_shown(s.app, "Timings", pyatspi.ROLE_DIALOG))
        if not check(dialog is not None, "Edit > Timing opened 'Timings'"):
            return
        press(find(dialog, "Select All", pyatspi.ROLE_PUSH_BUTTON))
        press(find(dialog, "Upload", pyatspi.ROLE_PUSH_BUTTON))
        if not check(s.wait_sim("hung up", 15), "the simulator hung up during the upload"):
            return
        t0 = time.monotonic()
        absent = wait_for(lambda: find_shown(s.app, ABSENT), 10)
        took = time.monotonic() - t0
        print("absent shown %.2f s after the hang-up (about one 0.5 s tick expected)" % took,
              flush=True)
        check(absent is not None and took < 3.0, "the status bar turned absent at once")
        check(answer_box(s.app, "No Response !!"), "'No Response !!' shown and closed")
        cpu0 = cpu_seconds(s.program.pid)
        time.sleep(2)
        cpu = cpu_seconds(s.program.pid) - cpu0
        print("CPU in the 2 s after: %.3f s (%.1f %%)" % (cpu, 50.0 * cpu), flush=True)
        check(cpu < 1.0, "nothing spins after the hang-up")


def close_mid_edid_upload(check, bin_dir):
    with Session(bin_dir, sim_args=[]) as s:
        if not (check(s.app is not None, "orve1 is on the accessibility bus") and
                s.connect(check)):
            return
        s.press_menu_in_background("EDID", "Upload EDID")
        box = box_with(s.app, "Upload")
        if not check(box is not None, "Upload EDID asks about the start-up image"):
            return
        press(find(box, "Upload", pyatspi.ROLE_PUSH_BUTTON))
        if not check(s.wait_sim("UEDID -> OK", 10), "the upload started"):
            return
        time.sleep(2)
        exit_item = s.menu_item("File", "Exit")
        # The press returns once the program has handled it; while uploading, the program
        # answers the bus between bytes, so the press itself takes a few of them.
        press(exit_item)
        t0 = time.monotonic()
        while s.program.poll() is None and time.monotonic() - t0 < 10:
            time.sleep(0.002)
        took = time.monotonic() - t0
        print("program ended %.3f s after File > Exit was handled, mid-upload" % took,
              flush=True)
        check(s.program.poll() is not None and took < 1.0, "closing ended the program at once")


def main():
    check = Checks()
    bin_dir = bin_dir_from_args()
    hang_up_mid_upload(check, bin_dir)
    close_mid_edid_upload(check, bin_dir)
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
