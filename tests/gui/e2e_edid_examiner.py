#!/usr/bin/python3
"""The EDID inspector through the accessibility bus: File > Open an EDID whose block 1 checksum
fails, EDID > Inspect... says so in words, "Fix checksums" puts it right, File > Save As writes
it, and orve1ctl edid-info gives the same verdicts for both files; File > Import EDID Text
takes the xrandr --verbose text of the damaged EDID back in.

    xvfb-run -a dbus-run-session /usr/bin/python3 tests/gui/e2e_edid_examiner.py build/bin
"""

import os
import subprocess
import sys
import tempfile

import pyatspi

from atspi_util import (Checks, Session, bin_dir_from_args, choose_file, find, find_shown, press,
                        sensitive, text_of, wait_for)

BAD = "Block 1: checksum 0x37, should be 0xf1"
GOOD = "Block 1: checksum 0xf1 OK"


def edid_info(bin_dir, path):
    run = subprocess.run([os.path.join(bin_dir, "orve1ctl"), "edid-info", path],
                         capture_output=True, text=True, timeout=20)
    return run.returncode, run.stdout


def xrandr_text(edid):
    lines = ["HDMI-1 connected 1920x1080+0+0 (0x47) normal", "\tIdentifier: 0x43", "\tEDID: "]
    lines += ["\t\t" + edid[i:i + 16].hex() for i in range(0, len(edid), 16)]
    return "\n".join(lines + ["\tnon-desktop: 0 "]) + "\n"


def main():
    check = Checks()
    bin_dir = bin_dir_from_args()
    data = os.environ.get("ORVE1_TEST_DATA",
                          os.path.join(os.path.dirname(os.path.abspath(__file__)), "../data"))
    with open(os.path.join(data, "aoc-c24g1-hdmi.bin"), "rb") as f:
        sound = f.read()
    damaged = sound[:255] + b"\x37"
    work = tempfile.TemporaryDirectory(prefix="orve1-inspector-")
    opened = os.path.join(work.name, "damaged.bin")
    saved = os.path.join(work.name, "fixed.bin")
    with open(opened, "wb") as f:
        f.write(damaged)

    status, out = edid_info(bin_dir, opened)
    check(status == 1 and BAD in out, "orve1ctl edid-info: block 1 fails, exit status 1")

    with Session(bin_dir) as s:
        if not check(s.app is not None, "orve1 is on the accessibility bus"):
            return check.result()
        check(choose_file(s, "Open", "Open", "Open", opened), "File > Open took the file")
        press(s.menu_item("EDID", "Inspect..."))
        window = wait_for(lambda: find_shown(s.app, "EDID Inspector"))
        if not check(window is not None, "EDID > Inspect... opened 'EDID Inspector'"):
            return check.result()
        check(wait_for(lambda: find_shown(window, BAD)) is not None, "it says '%s'" % BAD)
        summary = find(window, "Summary", pyatspi.ROLE_TEXT)
        check(summary is not None and "Manufacturer: AOC" in text_of(summary),
              "the summary reads 'Manufacturer: AOC'")
        report = find(window, "Report", pyatspi.ROLE_TEXT)
        check(wait_for(lambda: report is not None and
                       ("EDID conformity: FAIL" in text_of(report) or
                        "sudo apt install edid-decode" in text_of(report)), 15),
              "edid-decode's report (or how to get it) can be read")

        fix = find(window, "Fix checksums", pyatspi.ROLE_PUSH_BUTTON)
        check(fix is not None and sensitive(fix) and press(fix), "'Fix checksums' pressed")
        check(wait_for(lambda: find_shown(window, GOOD)) is not None, "then '%s'" % GOOD)
        check(wait_for(lambda: not sensitive(fix), 5), "'Fix checksums' has nothing left to do")

        check(choose_file(s, "Save As...", "Save As", "Save", saved), "File > Save As saved it")
        status, out = edid_info(bin_dir, saved)
        check(status == 0 and "Block 0: checksum 0xb0 OK\n" + GOOD in out,
              "orve1ctl edid-info: both blocks hold, exit status 0")
        with open(saved, "rb") as f:
            check(f.read() == sound, "the saved file is the sound EDID")

        s.press_menu_in_background("File", "Import EDID Text...")
        dialog = wait_for(lambda: find_shown(s.app, "Import EDID Text"))
        box = find(dialog, "TextMemo", pyatspi.ROLE_TEXT) if dialog else None
        if check(box is not None, "File > Import EDID Text... opened its box"):
            box.queryEditableText().setTextContents(xrandr_text(damaged))
            press(find(dialog, "Import", pyatspi.ROLE_PUSH_BUTTON))
            check(wait_for(lambda: find_shown(s.app, "Import EDID Text") is None, 10),
                  "'Import' took the xrandr text")
            check(wait_for(lambda: find_shown(window, BAD)) is not None,
                  "the inspector follows: '%s'" % BAD)
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
