#!/usr/bin/python3
"""The timing catalogue end to end: orve1 against orve1-sim, driven through accessibility.

Connects, opens Output > Timing, steps to timing 6 with the spinner, presses "Run Timing" and
waits for the simulator to output timing 6; then opens Edit > Timing, presses "Select All" and
"Upload", and waits for "Upload successful!!" while the simulator takes all 35 timings (which
it does only when the checksum, 186 here, makes the bytes add up to 0).

    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/e2e_timing.py build/bin
"""

import os
import subprocess
import sys

import pyatspi

from atspi_util import (Checks, Session, bin_dir_from_args, find, menu_entry, press, text_of,
                        wait_for, walk)


def main():
    check = Checks()
    with Session(bin_dir_from_args(), sim_args=[]) as s:
        if not check(s.app is not None, "orve1 is on the accessibility bus"):
            return check.result()
        if not s.connect(check):
            return check.result()

        # Output > Timing, then timing 6 by five presses of the spinner's down arrow.
        entry = wait_for(lambda: menu_entry(s.app, "Output", "Timing"))
        if not check(entry is not None, "menu entry Output > Timing found"):
            return check.result()
        press(entry)
        number = wait_for(lambda: find(s.app, "TimingComboBox1"))
        if not check(number is not None, "timing window opened with its number field"):
            return check.result()
        check(wait_for(lambda: text_of(number) == "1"), "the window opens at timing 1")
        down = find(s.app, "UpDown1 down", pyatspi.ROLE_PUSH_BUTTON)
        if not check(down is not None, "spinner arrow 'UpDown1 down' found"):
            return check.result()
        for _ in range(5):
            press(down)
        name = find(s.app, "TimingIndexName")
        check(wait_for(lambda: text_of(name) == "800x600-60"),
              "timing 6 '800x600-60' shown (%s)" % text_of(name))
        clock = find(s.app, "Timing_PClk_Edit")
        check(clock is not None and text_of(clock) == "40.000", "pixel clock 40.000 shown")
        run = find(s.app, "Run Timing", pyatspi.ROLE_PUSH_BUTTON)
        if check(run is not None, "'Run Timing' found"):
            press(run)
            check(s.wait_sim("TMIX 5 -> output timing 6"), "simulator outputs timing 6")

        # Edit > Timing, "Select All", "Upload".
        s.press_menu_in_background("Edit", "Timing")
        dialog = wait_for(lambda: find(s.app, "Timings", pyatspi.ROLE_DIALOG))
        if not check(dialog is not None, "dialog 'Timings' opened"):
            return check.result()
        select = find(dialog, "Select All", pyatspi.ROLE_PUSH_BUTTON)
        if check(select is not None, "'Select All' found"):
            press(select)
            check(wait_for(lambda: find(dialog, " UnSelect All", pyatspi.ROLE_PUSH_BUTTON)),
                  "the button now reads ' UnSelect All'")
        upload = find(dialog, "Upload", pyatspi.ROLE_PUSH_BUTTON)
        if check(upload is not None, "'Upload' found"):
            press(upload)
            check(s.wait_sim("TMGS 35 offered -> OK"),
                  "simulator took all 35 timings and the checksum")
            check(wait_for(lambda: find(s.app, "Upload successful!!")),
                  "'Upload successful!!' shown")
        print("\n".join("sim: " + line for line in s.sim_output()), flush=True)
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
