#pragma once

#include <QByteArray>
#include <QString>

#include "plan/Plan.h"

// A test plan as a text file that a person writes and reads in any editor:
//
//     # comment lines start with '#'; blank lines are ignored
//     name: Incoming inspection, 24" monitors
//     reports: /srv/inspection          (optional: the default report folder)
//     10    1     judge   White field: no dead or stuck pixels
//     same  15    judge   Gray-16: no banding
//     28    13    5s      1080i colour bar, shown for 5 seconds
//
// A step is TIMING PATTERN MODE INSTRUCTION: timing 1..35 or "same" (the step before's),
// pattern 1..39 or "same", mode "judge" or a show time 1..59 with s or m, and the rest of the
// line as the instruction to the operator. The name comes before the first step.
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
    // Reads and parses a file; error starts with what went wrong (file or line).
    static bool load(const QString& path, Plan& plan, QByteArray& bytes, QString& error);
};
