#!/usr/bin/python3
"""orve1 against orve1-sim, through the accessibility bus and the keyboard: Output > Pattern,
type 13, "Run Pattern"; "Show List", row 30, Return, "Run Pattern"; Edit > Pattern, tick
patterns 1, 2 and 5, "Upload". The simulator must confirm each.

    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/e2e_pattern.py build/bin
"""

import os
import subprocess
import sys
import time

import pyatspi

from atspi_util import (Checks, Session, bin_dir_from_args, find, find_all, focused, keys,
                        menu_entry, press, text_of, wait_for, walk)

DOWN, RETURN, END, BACKSPACE, SPACE = 0xFF54, 0xFF0D, 0xFF57, 0xFF08, 0x20


def main():
    check = Checks()
    with Session(bin_dir_from_args(), sim_args=[]) as s:
        if not (check(s.app is not None, "orve1 is on the accessibility bus") and
                s.connect(check)):
            return check.result()
        press(wait_for(lambda: menu_entry(s.app, "Output", "Pattern")))
        window = wait_for(lambda: find(s.app, "Pattern", pyatspi.ROLE_FRAME))
        if not check(window is not None, "Output > Pattern opened 'Pattern'"):
            return check.result()
        box = find(window, "PatternComboBox3")
        name = find(window, "PatternIndexName")
        run = find(window, "Run Pattern", pyatspi.ROLE_PUSH_BUTTON)
        check(text_of(box) == "1" and text_of(name) == "White", "the window starts at 1 White")

        box.queryComponent().grabFocus()
        time.sleep(0.3)  # a line edit does not report its focus on the bus
        keys(END, BACKSPACE, BACKSPACE, ord("1"), ord("3"))
        check(wait_for(lambda: text_of(name) == "Color Bar", 5), "typing 13 shows Color Bar")
        press(run)
        check(s.wait_sim('output pattern 13 "Color Bar"'), "simulator outputs pattern 13")

        press(find(window, "Show List", pyatspi.ROLE_PUSH_BUTTON))
        picker = wait_for(lambda: find(s.app, "List of patterns"))
        check(picker is not None and focused(find(picker, "StringGrid2")),
              "'List of patterns' shown with its grid focused")
        keys(*[DOWN] * 29, RETURN)
        check(wait_for(lambda: text_of(name) == "Running_H", 5), "the pick shows Running_H")
        press(run)
        check(s.wait_sim('output pattern 30 "Running_H"'), "simulator outputs pattern 30")

        s.press_menu_in_background("Edit", "Pattern")
        dialog = wait_for(lambda: find(s.app, "Patterns", pyatspi.ROLE_DIALOG))
        if not check(dialog is not None, "Edit > Pattern opened 'Patterns'"):
            return check.result()
        grid = find(dialog, "StringGrid4")
        focused(grid)
        keys(SPACE, DOWN, SPACE, DOWN, DOWN, DOWN, SPACE)
        check(wait_for(lambda: [c.name for c in find_all(grid, pyatspi.ROLE_TABLE_CELL)]
                       .count("     V") == 3, 5), "three patterns read as ticked")
        press(find(dialog, "Upload", pyatspi.ROLE_PUSH_BUTTON))
        check(s.wait_sim("PTNS 3 offered -> OK: 1 2 5"), "simulator offers patterns 1 2 5")
        check(wait_for(lambda: find(s.app, "Upload successful!!")), "'Upload successful!!' shown")
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
