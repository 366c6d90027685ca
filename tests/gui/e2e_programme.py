#!/usr/bin/python3
"""The programme editor end to end: the real orve1 against orve1-sim.

Builds two steps in Edit > Program (the combo boxes through their text, the second row chosen
with a real mouse press on the cell that the accessibility bus places), presses UpLoad, and
checks that the simulator takes the 130 bytes with a good checksum, that "Upload successful!!"
appears, and that the editor answers while the 13.7 s upload runs.

    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/e2e_programme.py build/bin
"""

import sys
import time

import pyatspi

from atspi_util import Checks, Session, bin_dir_from_args, find, press, text_of, wait_for

SUCCESS = "Upload successful!!"
STEPS_LINE = "ATRN 2 steps -> OK: [5 12 1 5] [0 0 0 3]"
# Slowest answer the editor may give while the upload sends its bytes. It handles events after
# every step of four bytes (about every 0.42 s) and an edit takes a few calls, about 1.3 s on
# an idle machine; an editor frozen by the upload would take the rest of its 13.7 s.
MAX_LATENCY_S = 4.0


def field(dialog, name):
    """The text line of the combo box with this designer name."""
    return wait_for(lambda: find(dialog, name, pyatspi.ROLE_TEXT))


def set_text(node, text):
    node.queryEditableText().setTextContents(text)


def cell_text(table, row, col):
    """Text of grid cell (col, row), row 1 being the first step."""
    return table.queryTable().getAccessibleAt(row - 1, col).name


def click_cell(table, row, col):
    """A real left click in the middle of the cell, where the accessibility bus says it is."""
    cell = table.queryTable().getAccessibleAt(row - 1, col)
    box = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "b1c")


def fill_step(check, dialog, table, row, timing, pattern, unit, time_text):
    for name, text in (("PCBox1", timing), ("PCBox2", pattern), ("PCBox3", unit),
                       ("PCBox4", time_text)):
        set_text(field(dialog, name), text)
    expected = [timing, pattern, unit, time_text]
    shown = wait_for(lambda: [cell_text(table, row, c) for c in range(1, 5)] == expected)
    check(bool(shown), "row %d shows %s" % (row, " | ".join(expected)))


def main():
    check = Checks()
    with Session(bin_dir_from_args(), sim_args=[]) as s:
        if not s.connect(check):
            return check.result()
        s.background_press("Program", pyatspi.ROLE_MENU_ITEM)
        dialog = wait_for(lambda: find(s.app, "Program", pyatspi.ROLE_DIALOG))
        if not check(dialog is not None, "Edit > Program opened the editor"):
            return check.result()
        table = wait_for(lambda: find(dialog, "StringGrid5", pyatspi.ROLE_TABLE))
        upload = find(dialog, "UpLoad", pyatspi.ROLE_PUSH_BUTTON)
        summary = find(dialog, "ProgramSummary", pyatspi.ROLE_TEXT)
        if not check(table is not None and upload is not None and summary is not None,
                     "grid, UpLoad and summary line found"):
            return check.result()

        # Row 1 is current on opening; the boxes show item 0, so step 1 takes other items.
        fill_step(check, dialog, table, 1, "800x600-60", "Color Bar", "Minute", "5")
        click_cell(table, 2, 1)
        chosen = wait_for(lambda: table.queryTable().getAccessibleAt(1, 1).getState().contains(
            pyatspi.STATE_SELECTED))
        check(bool(chosen), "a mouse press chose row 2")
        # Row 2 is current once the next box writes into it.
        fill_step(check, dialog, table, 2, "640x480-60", "White", "Second", "3")
        check(cell_text(table, 1, 1) == "800x600-60", "row 1 kept its step")
        check(wait_for(lambda: text_of(summary) == "2 legal steps, 5 min 3 s per run"),
              "summary line: '%s'" % text_of(summary))

        # Found before the upload: while it runs every call waits for the editor's next turn,
        # and a walk through the tree would take hundreds of them.
        gauge = find(s.app, "Progress", pyatspi.ROLE_PROGRESS_BAR)
        pcbox4 = field(dialog, "PCBox4")
        started = time.monotonic()
        press(upload)
        moving = wait_for(lambda: 0 < gauge.queryValue().currentValue < 100, timeout=10)
        check(bool(moving), "the gauge moves while the programme is sent")

        # While the bytes go out: edit row 2 and press UpLoad again. The editor answers each
        # call within a step or two, and the upload in flight is not disturbed.
        latencies = []
        for value in ("7", "9", "11"):
            t0 = time.monotonic()
            set_text(pcbox4, value)
            shown = wait_for(lambda: cell_text(table, 2, 4) == value, timeout=5)
            latencies.append(time.monotonic() - t0)
            check(bool(shown), "cell follows PCBox4 during the upload (%s)" % value)
        t0 = time.monotonic()
        press(upload)
        latencies.append(time.monotonic() - t0)
        in_flight = 0 < gauge.queryValue().currentValue < 100
        check(in_flight, "those edits ran while the upload was still being sent")
        worst = max(latencies)
        print("editor answers during the upload: worst %.2f s, mean %.2f s over %d calls"
              % (worst, sum(latencies) / len(latencies), len(latencies)))
        check(worst < MAX_LATENCY_S, "editor answered within %.1f s" % MAX_LATENCY_S)

        box = wait_for(lambda: find(s.app, SUCCESS), timeout=30)
        took = time.monotonic() - started
        check(box is not None, "'%s' appeared after %.1f s" % (SUCCESS, took))
        check(s.wait_sim(STEPS_LINE, timeout=5), "simulator: %s" % STEPS_LINE)
        atrn = [line for line in s.sim_output() if line.startswith("ATRN")]
        print("simulator:", atrn)
        check(atrn == ["ATRN -> OK", STEPS_LINE],
              "one ATRN exchange: the 130 bytes and their checksum accepted")
        ok = box is not None and wait_for(
            lambda: find(s.app, "OK", pyatspi.ROLE_PUSH_BUTTON))
        if ok:
            press(ok)
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
