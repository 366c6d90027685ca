#pragma once

#include <QByteArray>
#include <QString>

#include "plan/Plan.h"

// A test plan as a text file that a person writes and reads in any editor:
//
//     # comment lines start with '#'; blank lines are ignored
//     name: Incoming inspection, 24" monitors
//     reports: /srv/inspection          (optional: the default report folder)
//     defects: dead pixel, mura, backlight bleed    (optional: at most 9 codes for a Fail)
//     serial: ^HX-[0-9]{3}$             (optional: the serials it accepts, a regular expression)
//     on-fail: stop                     (optional: stop or continue after a failed edid step)
//     results: results.db               (optional: the results database, a path or URL)
//     port: 2                           (optional: the generator's COM port in station mode)
//     10    1     judge   White field: no dead or stuck pixels
//     same  15    judge   Gray-16: no banding
//     28    13    5s      1080i colour bar, shown for 5 seconds
//     -     -     edid    golden.bin serial-text=scan serial-number=digits date=week
//
// A step is TIMING PATTERN MODE INSTRUCTION: timing 1..35, "same" (the nearest step before
// that names one) or "-" (nothing sent: the generator keeps what it shows), pattern 1..39,
// "same" or "-", mode "judge" or a show time 1..59 with s or m, and the rest of the line as
// the instruction to the operator. An edid step is "- - edid GOLDEN" and its options
// serial-text=scan|golden, serial-number=digits|golden|0 and date=week|golden (the first of
// each the default); GOLDEN is relative to the plan file's folder, in double quotes when it
// holds blanks. The settings come before the first step; reports: and results: are relative
// to the plan file's folder too.
class PlanFile {
public:
    // Larger files are refused unread: a plan of 500 steps is far smaller.
    static constexpr qint64 MaxFileBytes = 256 * 1024;

    // False with error = "line N: what is wrong" (plan untouched) when the text is no plan.
    static bool parse(const QByteArray& text, Plan& plan, QString& error);
    // The plan as a file that parse reads back to the same plan.
    static QByteArray write(const Plan& plan);
    // SHA-256 of a plan file's bytes, in lower-case hex, as sha256sum prints it.
    static QString digest(const QByteArray& bytes);
    // Reads and parses a file, and checks the golden EDID of every edid step; error starts with
    // what went wrong (file or line).
    static bool load(const QString& path, Plan& plan, QByteArray& bytes, QString& error);
    // "" when every edid step's golden file (relative to folder) holds a sound EDID; else what
    // is wrong, after "line N: " (byLine, for a plan as read) or "step N: ".
    static QString goldenProblem(const Plan& plan, const QString& folder, bool byLine);
};
