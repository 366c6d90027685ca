#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "edid/EdidImage.h"
#include "link/CommandData.h"
#include "link/CommandSlot.h"
#include "plan/Plan.h"
#include "production/GoldenEdid.h"
#include "production/IdentityRecipe.h"
#include "programme/ProgramColumns.h"
#include "results/ResultsQuery.h"

// One run of the command-line companion, fully checked before anything is sent.
struct CtlRequest {
    enum class Kind {
        Probe,
        Timing,
        Pattern,
        Default,
        Timings,
        Patterns,
        Programme,
        EdidRead,
        EdidUpload,
        EdidWrite,
        Ports,          // lists COM 1..8; talks to no generator
        EdidInfo,       // what an EDID file declares and whether its checksums hold; offline
        EdidDiff,       // the bytes and fields in which two EDID files differ; offline
        Plan,           // a test plan run on one unit (CtlPlanRunner)
        EdidIdentity,   // the identity fields of an EDID file; offline
        EdidPatch,      // a copy of an EDID file with another identity; offline
        EdidProvision,  // one unit: patch, upload, write, read back, compare, log
        Results,        // a question to the results store, or an import into it; offline
        Help,           // --help
        Version,        // --version
    };

    Kind kind = Kind::Probe;
    quint8 port = 1;
    quint8 index = 0;  // timing or pattern index (number - 1)
    std::array<quint8, CommandData::TimingCount> timings{};
    std::array<quint8, CommandData::PatternCount> patterns{};
    ProgramColumns programme;
    EdidImage edid{};
    QString file;       // edid-read: where the image goes; edid-info, edid-diff: the (first) file;
                        // timings edid:FILE: FILE
    QString otherFile;  // edid-diff: the second file; edid-patch: the output
    // plan FILE (in file): the plan, as many times over as --repeat says.
    Plan plan;
    QString planDigest;
    QByteArray planText;       // the plan file's bytes, for the results store
    QString serial;            // --serial
    QString operatorName;      // --operator
    QString reportDir;         // --report, else the plan's own, else the current folder
    bool autoRun = false;      // --auto: every step timed, no verdicts
    int repeat = 1;            // --repeat
    bool asProgramme = false;  // --as-programme: upload instead (kind Programme)
    // edid-patch, edid-provision: how the identity is made, and the log of edid-provision.
    IdentityRecipe recipe;
    QString serialText;
    QString logFile;
    QString serialFormat;         // edid-provision --serial-format: the serials it accepts
    QStringList identityOptions;  // the identity options given, in order
    GoldenEdid golden;            // edid-provision
    // --results: the results store (a file, or a folder holding results.sqlite) of results,
    // plan and edid-provision; empty: results.sqlite in the current folder.
    QString resultsLocation;
    // results SUBCOMMAND [OPERAND]...: history, runs, yield, export, import.
    QString resultsCommand;
    QStringList resultsOperands;  // history: the serial; import: the files
    ResultsFilter resultsFilter;  // --since, --until, --plan, --station, --verdict, --operator
    bool resultsByWeek = false;   // --by week
    QString htmlFile;             // yield --html FILE
    bool csvOutput = false;       // --csv: CSV on standard output
    QString csvFile;              // export --csv FILE
    QStringList resultsOptions;   // the results options given, in order

    // Options, anywhere on the line.
    bool trace = false;     // --trace: the wire record on standard error
    bool progress = false;  // --progress: plain progress lines when not on a terminal
    bool verbose = false;   // --verbose: say which device COM n opened
    bool force = false;     // --force: edid-upload without the EDID header
    // --timings: edid-info lists the modes and the built-in timings they declare.
    bool listTimings = false;

    // True for the requests that talk to the generator.
    bool usesGenerator() const;

    // The engine command that carries this request; Urtcnt for a plain probe.
    Command command() const;
};
