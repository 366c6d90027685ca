#!/usr/bin/python3
"""Checks orve1 through the accessibility bus, as a screen reader sees it.

Run under an X server and a D-Bus session, e.g.
    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/atspi_check.py build/bin
or, to also connect to the virtual generator through the port dialog,
    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/atspi_check.py --connect build/bin

The first argument (or ORVE1_BIN_DIR) is the folder holding orve1 and orve1-sim.
Exit status 0 when every check passed; the failed checks are printed.
"""

import sys

import pyatspi

from atspi_util import (ABSENT, PRESENT, Checks, Session, bin_dir_from_args, find, press,
                        sensitive, text_of, wait_for, walk)


def main():
    connect = "--connect" in sys.argv
    check = Checks()
    with Session(bin_dir_from_args(), sim_args=[] if connect else None) as s:
        if connect:
            check(s.sim_lines[0].startswith("orve1-sim: COM1 -> "),
                  "simulator registered COM1 (%s)" % s.sim_lines[0])
        app = s.app
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
            s.background_press("Connect")
            dialog = wait_for(lambda: find(app, "COM Port Setting ", pyatspi.ROLE_DIALOG))
            if check(dialog is not None, "port dialog 'COM Port Setting ' opened"):
                # A combo box is named after its current entry; the port list is the first.
                port = next((n for n in walk(dialog) if n.getRole() == pyatspi.ROLE_COMBO_BOX),
                            None)
                check(port is not None and port.name == "COM 1", "COM 1 preselected")
                device = find(dialog, "Device", pyatspi.ROLE_TEXT)
                check(device is not None and "/orve1/COM1 -> /dev/pts/" in text_of(device) and
                      "orve1-sim virtual generator" in text_of(device),
                      "device line shows the sim link and names the sim")
                ok = find(dialog, "OK", pyatspi.ROLE_PUSH_BUTTON)
                if check(ok is not None, "OK button found"):
                    press(ok)
                present = wait_for(lambda: find(app, PRESENT))
                check(present is not None, "status panel turned to '%s'" % PRESENT)
                if present is not None:
                    check(not sensitive(buttons["Connect"]), "Connect disabled when present")
                    check(sensitive(buttons["Disconnect"]), "Disconnect enabled when present")
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
