#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "plan/Plan.h"

// What a run of a plan on one unit did, step by step: the contents of its report.
struct RunRecord {
    enum class StepVerdict { None, Pass, Fail, Shown };
    // How the run ended.
    enum class End {
        Completed,      // every step judged or shown
        Stopped,        // the operator pressed Stop ("s")
        WindowClosed,   // the Test Plan window was closed
        ProgramClosed,  // the program was closed
        InputEnded,     // orve1ctl: standard input ended before a verdict
        CommandFailed,  // the generator did not take a step's timing or pattern
        Interrupted,    // the program or the computer stopped; found later in the results store
        EdidFailed,     // an edid step failed and the plan says on-fail: stop
    };
    enum class Verdict { Pass, Fail, Stopped, Error };

    // A pause of the run on a step whose command failed for want of an answer or a line.
    struct Interruption {
        int step = 0;          // 0-based
        QDateTime at;          // when it paused
        QString reason;        // the failed command's words: "TMIX: No Response !!"
        qint64 pausedMs = -1;  // until Retry sent the step again; -1: the run ended paused
    };

    struct Step {
        StepVerdict verdict = StepVerdict::None;
        QString note;         // the operator's note to a Fail
        QString defect;       // the defect code given to a Fail (one of the plan's); may be empty
        qint64 ms = 0;        // time spent on the step, every showing of it added up
        bool redone = false;  // judged again after Back
        // An edid step: what the unit was given and the digests of the golden, of what was
        // uploaded and of what was read back (lower-case hex SHA-256; empty where not reached).
        struct Edid {
            bool done = false;
            QString identity;  // "serial text HX-105, serial number 105, week 50 of 2026"
            QString goldenSha256, writtenSha256, readBackSha256;
        } edid;

        // The code and the note as reports show them: "[mura] banding at the left".
        QString noteText() const;
    };

    QString id;  // a UUID made on the station when the run starts
    Plan plan;
    QByteArray planText;  // the plan file's bytes (PlanFile::write for a plan made in the window)
    QString planFile;     // the file the plan came from, or how it was made
    QString planDigest;   // SHA-256 of planText
    int repeat = 1;       // the plan's steps run this many times over (orve1ctl --repeat)
    QString serial;
    QString operatorName;
    QString station;           // the computer's host name
    QString version;           // the program's version
    QString port;              // "COM 1"
    bool stationMode = false;  // run in station mode: the plan as loaded, not editable
    QDateTime started;
    QDateTime ended;
    QList<Step> steps;  // one per step of plan
    QList<Interruption> interruptions;
    End end = End::Completed;
    int endStep = -1;  // the step the run ended on (not completed), or -1
    QString failure;   // for CommandFailed: "TMIX: No Response !!" and its details
    QString reportFolder;
    QString reportFile;  // the HTML report's file name once written, empty before

    // PASS only for a completed run without a Fail; FAIL for any Fail, however it ended.
    Verdict verdict() const;
    // 1-based numbers of the failed steps.
    QList<int> failedSteps() const;
    // Steps with a verdict (judged or shown).
    int doneSteps() const;
    static QString verdictText(Verdict v);  // "PASS", "FAIL", "STOPPED", "ERROR"
    static QString stepVerdictText(StepVerdict v);
    // How the run ended, in words: "completed", "stopped by the operator during step 3", ...
    QString endText() const;
    // How the run ended as one word for files and databases: "completed", "stopped",
    // "window-closed", "program-closed", "input-ended", "command-failed", "interrupted".
    static QString endName(End e);
    // The End a name stands for; false for anything else.
    static bool endFromName(const QString& name, End& e);
};
