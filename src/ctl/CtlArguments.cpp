#include "ctl/CtlArguments.h"

#include <QFile>
#include <QRegularExpression>

#include "ctl/EdidCommands.h"
#include "ctl/IdentityCommands.h"
#include "ctl/PlanArguments.h"
#include "ctl/ResultsArguments.h"
#include "edid/EdidHeader.h"
#include "files/SafeFile.h"
#include "programme/ProgramFile.h"
#include "programme/ProgramPacker.h"

QString CtlArguments::usage() {
    return QStringLiteral(
        "usage: orve1ctl [OPTION]... COMMAND [OPERAND]\n"
        "Drives an ORVE-1 video pattern generator on COM N (19200 baud, 8N1): one command a\n"
        "run, for scripts on production lines. Options may stand anywhere on the line.\n"
        "\n"
        "commands:\n"
        "  probe                 ask whether the generator is there\n"
        "  timing N              output timing N (1..35)\n"
        "  pattern N             output pattern N (1..39)\n"
        "  default               restore the generator's default settings\n"
        "  timings LIST          upload the offered timings (LIST: all, or e.g. 1,3,5-9)\n"
        "  timings edid:FILE     upload the built-in timings that the EDID in FILE declares\n"
        "                        (refused when it declares none)\n"
        "  patterns LIST         upload the offered patterns\n"
        "  programme FILE        upload an auto-run programme of up to 32 steps,\n"
        "                        one a line: TIMING PATTERN s|m TIME (TIME 1..59)\n"
        "  edid-read FILE        read the EDID into FILE (256 bytes)\n"
        "  edid-upload FILE      upload the first 256 bytes of FILE (shorter: zero-padded);\n"
        "                        refused unless they start with the EDID header\n"
        "                        00 FF FF FF FF FF FF 00, or --force is given\n"
        "  edid-write            have the generator write its EDID\n"
        "  ports                 list COM 1..8 with the device each opens\n"
        "  edid-info FILE        what the EDID in FILE declares and whether the checksum\n"
        "                        of each block holds; no generator needed\n"
        "  edid-diff A B         the bytes in which two EDIDs differ, with the fields they\n"
        "                        touch; no generator needed\n"
        "                        Both read raw files and EDID text: hex bytes (blank- or\n"
        "                        colon-separated, with or without 0x), edid-decode's hex\n"
        "                        dump, the EDID lines of xrandr --verbose, a C array\n"
        "  plan FILE             run a test plan on one unit (needs --serial): each step's\n"
        "                        timing and pattern, then its verdict from standard input,\n"
        "                        one a line: p pass, f fail (next line: a note, may be\n"
        "                        empty; where the plan lists defects, \"N\" or \"N note\"\n"
        "                        picks defect N), b back, s stop; an HTML report and a\n"
        "                        line of results.csv go to the report folder; a --serial\n"
        "                        that the plan's serial: does not match is refused\n"
        "  edid-identity FILE    the identity fields of the EDID in FILE: manufacturer,\n"
        "                        product, serial number and text, date, monitor name\n"
        "  edid-patch IN OUT     write to OUT a copy of the EDID in IN whose identity the\n"
        "                        options below change (block 0 and its checksum only);\n"
        "                        no generator needed\n"
        "  edid-provision GOLDEN\n"
        "                        one unit: the EDID in GOLDEN with --serial-text and the\n"
        "                        options below, uploaded, written, read back, compared\n"
        "                        and logged to --log; run one per port in parallel\n"
        "  results history SERIAL\n"
        "                        every plan run and EDID unit of SERIAL in the results\n"
        "                        store, newest first: time, station, plan, verdict,\n"
        "                        failed steps with their notes, report\n"
        "  results runs          the plan runs of the filters below, newest first\n"
        "  results yield         units, first-pass and final yield and retests per plan\n"
        "                        and day (or --by week); --html FILE: a page with charts\n"
        "  results export        the runs of the filters as results.csv lines, to --csv\n"
        "                        FILE\n"
        "  results import FILE...\n"
        "                        add the results.csv files and production logs of\n"
        "                        earlier versions to the store (each record once)\n"
        "  results init URL      make or bring up to date the results tables on a line's\n"
        "                        PostgreSQL server, URL postgresql://ROLE@HOST[:PORT]/DB,\n"
        "                        with a role that may create tables\n"
        "  results forward URL   send the server URL what the station's own store\n"
        "                        (--results) holds that the server has not taken yet\n"
        "\n"
        "options:\n"
        "  --port N              COM port 1..8 (default 1)\n"
        "  --force               edid-upload: upload a file without the EDID header\n"
        "  --timings             edid-info: instead, one line a mode the EDID declares: the\n"
        "                        entry, the mode, the built-in timings it declares or none\n"
        "  --serial-text T       edid-patch, edid-provision: the serial as text (up to 13\n"
        "                        printable ASCII characters), in a serial text descriptor\n"
        "  --serial-number N|digits\n"
        "                        the 32-bit serial number, or the digits of --serial-text;\n"
        "                        0 where the serial text identifies the unit (edid-decode\n"
        "                        wants 0 beside a serial text descriptor)\n"
        "  --date today|YYYY-Www|golden\n"
        "                        week and year of manufacture: this week, a given week\n"
        "                        (2025-W09) or the input's\n"
        "  --name NAME           the monitor name (up to 13 characters)\n"
        "  --vendor ABC          the manufacturer's three letters\n"
        "  --product N           the product code, 0..65535 or 0x0000..0xffff\n"
        "  --log FILE            edid-provision: the CSV log a line per unit is added to\n"
        "  --serial-format REGEX\n"
        "                        edid-provision: the serials the line accepts, a regular\n"
        "                        expression such as ^HX-[0-9]{3}$ (^ and $: the whole\n"
        "                        serial); another --serial-text is refused, nothing sent\n"
        "  --trace               write every frame, data byte and reply to standard error\n"
        "  --progress            plain progress lines on standard error when it is not a\n"
        "                        terminal (a terminal gets a bar anyway)\n"
        "  --verbose             say which device COM N opened\n"
        "  --serial S            plan: the unit's serial number\n"
        "  --operator O          plan: who judges; results: only the runs O judged\n"
        "  --report DIR          plan: the report folder (default: the plan's own, else .)\n"
        "  --auto                plan: run a plan without verdicts (timed and edid steps)\n"
        "  --repeat N            plan --auto: run it N times over, as one run\n"
        "  --as-programme        plan: upload the plan (32 timed steps at most) as the\n"
        "                        generator's auto-run programme instead\n"
        "  --results PATH        results, plan, edid-provision: the results store, a file\n"
        "                        or a folder holding results.sqlite (default:\n"
        "                        ./results.sqlite), or a server's URL (passwords come\n"
        "                        from libpq's password file); results only reads it,\n"
        "                        except import and forward\n"
        "  --since DATE          results: runs from the day DATE (YYYY-MM-DD) on\n"
        "  --until DATE          results: runs up to and including the day DATE\n"
        "  --plan NAME           results: runs of the plan named NAME\n"
        "  --station S           results: runs on the station (host name) S\n"
        "  --verdict V           results: runs with the verdict PASS, FAIL, STOPPED,\n"
        "                        ERROR or INTERRUPTED\n"
        "  --by day|week         results yield: per day (default) or ISO week\n"
        "  --html FILE           results yield: also write a page with the yield table\n"
        "                        and charts of yield and of the failing steps\n"
        "  --csv                 results: CSV on standard output, for scripts; with\n"
        "                        export, --csv FILE names the file\n"
        "  --help                this text\n"
        "  --version             the program's version\n"
        "\n"
        "The generator's own texts are printed verbatim, one a line: success texts\n"
        "(\"Upload successful!!\") on standard output, failure texts (\"No Response !!\",\n"
        "\"Error!!\", \"Write EDID Fail!!\") on standard error.\n"
        "exit status: 0 done, 1 failed, 2 usage error (nothing sent)\n"
        "  plan: 0 passed, 1 failed, stopped, a command failed or the report not written,\n"
        "  2 a bad plan or arguments (nothing sent)\n"
        "  edid-info: 0 every checksum holds, 1 a checksum fails, 2 not an EDID\n"
        "  edid-diff: 0 equal, 1 different, 2 a file unreadable or not an EDID\n"
        "  timings: 2 also when edid:FILE is not an EDID or declares no timing\n"
        "  edid-identity: 0 done, 2 not an EDID\n"
        "  edid-patch: 0 done, 2 bad input (OUT untouched)\n"
        "  edid-provision: 0 only when the EDID read back equals the one uploaded and the\n"
        "                  log line was written\n"
        "  results: 0 done, 1 nothing matched, 2 bad arguments or a store that cannot be\n"
        "           opened (or a file import refuses; nothing is then added); forward:\n"
        "           1 records left waiting (the server unreachable or refusing)\n");
}

CtlArguments::Option CtlArguments::valueOf(const QStringList& args, int& i, const QString& name,
                                           QString& value, QString& error) {
    const QString& a = args[i];
    if (a == name) {
        if (i + 1 >= args.size()) {
            error = QStringLiteral("%1 needs a value").arg(name);
            return Option::Missing;
        }
        value = args[++i];
        return Option::Taken;
    }
    if (!a.startsWith(name + QLatin1Char('=')))
        return Option::NotIt;
    value = a.mid(name.size() + 1);
    return Option::Taken;
}

bool CtlArguments::takeOptions(QStringList& args, CtlRequest& out, QString& error) {
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--port") || a.startsWith(QLatin1String("--port="))) {
            QString value;
            if (a == QLatin1String("--port")) {
                if (i + 1 >= args.size()) {
                    error = QStringLiteral("--port needs a number 1..8");
                    return false;
                }
                value = args[++i];
            } else {
                value = a.mid(7);
            }
            int port = 0;
            if (!parseNumber(value, 1, 8, port)) {
                error = QStringLiteral("--port '%1' is not 1..8").arg(value);
                return false;
            }
            out.port = quint8(port);
        } else if (IdentityCommands::isOption(a)) {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? a : a.left(eq);
            if (eq < 0 && i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            if (!IdentityCommands::takeOption(name, eq < 0 ? args[++i] : a.mid(eq + 1), out, error))
                return false;
        } else if (a == QLatin1String("--force")) {
            out.force = true;
        } else if (a == QLatin1String("--timings")) {
            out.listTimings = true;
        } else if (a == QLatin1String("--trace")) {
            out.trace = true;
        } else if (a == QLatin1String("--progress")) {
            out.progress = true;
        } else if (a == QLatin1String("--verbose") || a == QLatin1String("-v")) {
            out.verbose = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out.kind = CtlRequest::Kind::Help;
        } else if (a == QLatin1String("--version")) {
            if (out.kind != CtlRequest::Kind::Help)
                out.kind = CtlRequest::Kind::Version;
        } else if (a.startsWith(QLatin1String("--"))) {
            bool taken = false;
            if (!ResultsArguments::takeOption(args, i, out, taken, error))
                return false;
            if (taken)
                continue;
            if (!PlanArguments::takeOption(args, i, out, taken, error))
                return false;
            if (taken)
                continue;
            error = QStringLiteral("unknown option '%1' (try --help)").arg(a);
            return false;
        } else {
            rest << a;
        }
    }
    args = rest;
    return true;
}

bool CtlArguments::parseNumber(const QString& text, int low, int high, int& value) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
    if (!digits.match(text).hasMatch())
        return false;
    value = text.toInt();
    return value >= low && value <= high;
}

bool CtlArguments::parseListInto(const QString& text, quint8* flags, int count, QString& error) {
    std::fill(flags, flags + count, quint8(0));
    if (text == QLatin1String("all")) {
        std::fill(flags, flags + count, quint8(1));
        return true;
    }
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        const QStringList ends = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        bool ok = false;
        if (ends.size() == 1) {
            ok = parseNumber(ends[0], 1, count, first);
            last = first;
        } else if (ends.size() == 2) {
            ok = parseNumber(ends[0], 1, count, first) && parseNumber(ends[1], 1, count, last) &&
                 first <= last;
        }
        if (!ok) {
            error = QStringLiteral("'%1' in '%2' is not a number or range within 1..%3")
                        .arg(part, text)
                        .arg(count);
            return false;
        }
        for (int n = first; n <= last; ++n) flags[n - 1] = 1;
    }
    return true;
}

bool CtlArguments::parseProgramme(const QString& text, ProgramColumns& table, QString& error) {
    ProgramTable read;
    QList<int> lines;
    if (!ProgramFile::read(text, read, error, &lines))
        return false;
    if (lines.isEmpty()) {
        error = QStringLiteral("the programme has no steps");
        return false;
    }
    // A script cannot see which steps the generator would skip, so every step must be sent.
    for (int s = 0; s < lines.size(); ++s) {
        if (ProgramPacker::isLegalStep(read, s))
            continue;
        const QString where = QStringLiteral("line %1: ").arg(lines[s]);
        if (read.timing[s] == ProgramTable::Empty || read.pattern[s] == ProgramTable::Empty ||
            read.unit[s] == ProgramTable::Empty || read.showTime[s] == ProgramTable::Empty)
            error =
                where + QStringLiteral("the step has an empty field ('-') and would not be sent");
        else
            error = where + QStringLiteral("show time '%1' is not %2..%3 and would not be sent")
                                .arg(read.showTime[s])
                                .arg(ProgramPacker::MinShowTime)
                                .arg(ProgramPacker::MaxShowTime);
        return false;
    }
    ProgramPacker::PackProgram(read, table);
    return true;
}

bool CtlArguments::parse(const QStringList& argsIn, CtlRequest& out, QString& error) {
    QStringList args = argsIn;
    out = CtlRequest();
    if (!takeOptions(args, out, error))
        return false;
    if (out.kind == CtlRequest::Kind::Help || out.kind == CtlRequest::Kind::Version)
        return true;
    if (args.isEmpty()) {
        error = QStringLiteral("no command given (try --help)");
        return false;
    }
    const QString cmd = args[0];
    const bool force = out.force;
    if (force && cmd != QLatin1String("edid-upload")) {
        error = QStringLiteral("'--force' goes with edid-upload only");
        return false;
    }
    if (out.listTimings && cmd != QLatin1String("edid-info")) {
        error = QStringLiteral("'--timings' goes with edid-info only");
        return false;
    }
    if (cmd == QLatin1String("results")) {
        // --operator is a filter here, not who judges.
        out.resultsFilter.operatorName = out.operatorName;
        out.operatorName.clear();
        if (PlanArguments::anyGiven(out) || out.trace || !out.identityOptions.isEmpty()) {
            error = QStringLiteral("results takes only its own options and --results");
            return false;
        }
        return ResultsArguments::parse(args.mid(1), out, error);
    }
    if (!ResultsArguments::check(cmd, out, error))
        return false;
    if (cmd != QLatin1String("plan") && PlanArguments::anyGiven(out)) {
        error = QStringLiteral(
            "--serial, --operator, --report, --auto, --repeat and --as-programme go with plan");
        return false;
    }
    if (cmd == QLatin1String("plan") && out.trace) {
        error = QStringLiteral("'--trace' goes with single commands, not with plan");
        return false;
    }
    struct Shape {
        const char* name;
        CtlRequest::Kind kind;
        int operands;
    };
    // Columns: command word, request kind, number of operands.
    static constexpr Shape Shapes[] = {
        {"probe", CtlRequest::Kind::Probe, 0},
        {"timing", CtlRequest::Kind::Timing, 1},
        {"pattern", CtlRequest::Kind::Pattern, 1},
        {"default", CtlRequest::Kind::Default, 0},
        {"timings", CtlRequest::Kind::Timings, 1},
        {"patterns", CtlRequest::Kind::Patterns, 1},
        {"programme", CtlRequest::Kind::Programme, 1},
        {"edid-read", CtlRequest::Kind::EdidRead, 1},
        {"edid-upload", CtlRequest::Kind::EdidUpload, 1},
        {"edid-write", CtlRequest::Kind::EdidWrite, 0},
        {"ports", CtlRequest::Kind::Ports, 0},
        {"edid-info", CtlRequest::Kind::EdidInfo, 1},
        {"edid-diff", CtlRequest::Kind::EdidDiff, 2},
        {"plan", CtlRequest::Kind::Plan, 1},
        {"edid-identity", CtlRequest::Kind::EdidIdentity, 1},
        {"edid-patch", CtlRequest::Kind::EdidPatch, 2},
        {"edid-provision", CtlRequest::Kind::EdidProvision, 1},
    };
    const Shape* shape = nullptr;
    for (const Shape& s : Shapes)
        if (cmd == QLatin1String(s.name))
            shape = &s;
    if (!shape) {
        error = QStringLiteral("unknown command '%1' (try --help)").arg(cmd);
        return false;
    }
    if (args.size() - 1 != shape->operands) {
        error = QStringLiteral("'%1' takes %2 operand%3")
                    .arg(cmd)
                    .arg(shape->operands)
                    .arg(shape->operands == 1 ? "" : "s");
        return false;
    }
    out.kind = shape->kind;
    if (!IdentityCommands::check(args.mid(1), out, error))
        return false;
    const QString arg = shape->operands ? args[1] : QString();
    int n = 0;
    switch (out.kind) {
        case CtlRequest::Kind::Timing:
        case CtlRequest::Kind::Pattern: {
            const int count = out.kind == CtlRequest::Kind::Timing ? CommandData::TimingCount
                                                                   : CommandData::PatternCount;
            if (!parseNumber(arg, 1, count, n)) {
                error = QStringLiteral("%1 '%2' is not 1..%3").arg(cmd, arg).arg(count);
                return false;
            }
            out.index = quint8(n - 1);
            return true;
        }
        case CtlRequest::Kind::Timings:
            if (arg.startsWith(QLatin1String("edid:"))) {
                out.file = arg.mid(5);
                return EdidCommands::declaredSelection(out.file, out.timings, error);
            }
            return parseList(arg, out.timings, error);
        case CtlRequest::Kind::Patterns:
            return parseList(arg, out.patterns, error);
        case CtlRequest::Kind::Programme: {
            QByteArray text;
            if (!SafeFile::readRegular(arg, ProgramFile::MaxFileBytes, text, error)) {
                error = QStringLiteral("cannot read ") + error;
                return false;
            }
            if (!parseProgramme(QString::fromUtf8(text), out.programme, error)) {
                error = arg + QStringLiteral(": ") + error;
                return false;
            }
            return true;
        }
        case CtlRequest::Kind::EdidUpload: {
            QByteArray bytes;
            if (!SafeFile::readRegular(arg, static_cast<qint64>(out.edid.size()), bytes, error)) {
                error = QStringLiteral("cannot read ") + error;
                return false;
            }
            std::copy(bytes.begin(), bytes.end(), out.edid.begin());
            // Written by the generator afterwards, an image without the header (all zeros from
            // an empty file, a wrong file) would replace a display's EDID.
            const QString problem = EdidHeader::problem(out.edid);
            if (!force && !problem.isEmpty()) {
                error = QStringLiteral(
                            "%1 does not start with the EDID header %2 (%3); give --force to "
                            "upload it anyway")
                            .arg(arg, EdidHeader::text(), problem);
                return false;
            }
            return true;
        }
        case CtlRequest::Kind::EdidRead: {
            // Refuse a file that cannot be written now rather than after a 5-second read.
            if (!SafeFile::writeProblem(arg).isEmpty()) {
                error = QStringLiteral("cannot write %1").arg(arg);
                return false;
            }
            out.file = arg;
            return true;
        }
        case CtlRequest::Kind::Plan:
            return PlanArguments::parse(arg, out, error);
        case CtlRequest::Kind::EdidInfo:
        case CtlRequest::Kind::EdidDiff:
        case CtlRequest::Kind::EdidIdentity:
            // Read when the command runs: what is wrong with them is its answer, not a usage
            // error.
            out.file = arg;
            out.otherFile = shape->operands > 1 ? args[2] : QString();
            return true;
        default:
            return true;
    }
}
