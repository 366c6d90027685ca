// The command line of orve1ctl: everything wrong is refused before a byte is sent.
#include <QTemporaryDir>
#include <QTest>

#include "TestFiles.h"
#include "ctl/CtlArguments.h"

namespace {

bool parse(const QStringList& args, CtlRequest& r, QString& error) {
    return CtlArguments::parse(args, r, error);
}

}  // namespace

class TestCtlArguments : public QObject {
    Q_OBJECT

private slots:
    void commandsAndNumbers() {
        CtlRequest r;
        QString e;
        QVERIFY(parse({"timing", "35"}, r, e));
        QCOMPARE(r.index, quint8(34));
        QCOMPARE(r.port, quint8(1));
        QCOMPARE(r.command(), Command::Tmix);
        QVERIFY(parse({"--port", "8", "pattern", "1"}, r, e));
        QCOMPARE(r.port, quint8(8));
        QCOMPARE(r.index, quint8(0));
        QVERIFY(parse({"--port=2", "edid-write"}, r, e));
        QCOMPARE(r.command(), Command::Wedid);
        // Options anywhere on the line, as scripts write them.
        QVERIFY(parse({"probe", "--port", "3", "--trace", "--progress", "-v"}, r, e));
        QCOMPARE(r.port, quint8(3));
        QVERIFY(r.trace && r.progress && r.verbose && r.usesGenerator());
        QVERIFY(parse({"timing", "--port=4", "7"}, r, e));
        QCOMPARE(r.index, quint8(6));
        QCOMPARE(r.port, quint8(4));
        QVERIFY(parse({"ports"}, r, e));
        QVERIFY(!r.usesGenerator());
        QVERIFY(parse({"timing", "99", "--help"}, r, e));  // help wins over anything else
        QCOMPARE(r.kind, CtlRequest::Kind::Help);
        QVERIFY(parse({"--version"}, r, e));
        QCOMPARE(r.kind, CtlRequest::Kind::Version);

        const QList<QStringList> bad = {
            {},
            {"timing", "0"},
            {"timing", "36"},
            {"pattern", "40"},
            {"timing"},
            {"probe", "x"},
            {"--port", "0", "probe"},
            {"--port", "9", "probe"},
            {"timing", "+5"},
            {"timing", "5x"},
            {"reboot"},
            {"probe", "--port"},
            {"probe", "--colour"},
            {"timing", "3", "--force"},
        };
        for (const QStringList& args : bad) {
            QVERIFY2(!parse(args, r, e), qPrintable(args.join(' ')));
            QVERIFY(!e.isEmpty());
        }
        QVERIFY(!parse({"timing", "36"}, r, e));
        QVERIFY(e.contains("'36'"));
    }

    void selectionLists() {
        CtlRequest r;
        QString e;
        QVERIFY(parse({"timings", "1,3,5-9"}, r, e));
        const std::array<quint8, 35>& t = r.timings;
        QCOMPARE(std::accumulate(t.begin(), t.end(), 0), 7);
        QCOMPARE(t[0], quint8(1));
        QCOMPARE(t[1], quint8(0));
        QCOMPARE(t[8], quint8(1));
        QCOMPARE(t[9], quint8(0));
        QVERIFY(parse({"patterns", "all"}, r, e));
        QCOMPARE(std::accumulate(r.patterns.begin(), r.patterns.end(), 0), 39);
        QVERIFY(parse({"patterns", "39"}, r, e));
        for (const char* list : {"", "0", "36", "1,,2", "9-5", "1-", "a", "1-3-5", "all,1"})
            QVERIFY2(!parse({"timings", list}, r, e), list);
    }

    void filesAreCheckedFirst() {
        QTemporaryDir dir;
        CtlRequest r;
        QString e;
        QVERIFY(!parse({"edid-upload", dir.filePath("missing.bin")}, r, e));
        QVERIFY(!parse({"edid-read", dir.filePath("no/such/dir/out.bin")}, r, e));
        QVERIFY(!parse({"edid-read", dir.path()}, r, e));
        QVERIFY(parse({"edid-read", dir.filePath("out.bin")}, r, e));
        QVERIFY(!QFile::exists(dir.filePath("out.bin")));  // nothing created before the read

        QFile shortFile(dir.filePath("short.bin"));
        QVERIFY(shortFile.open(QIODevice::WriteOnly));
        shortFile.write(QByteArray(100, char(0x7F)));
        shortFile.close();
        QVERIFY(parse({"edid-upload", "--force", shortFile.fileName()}, r, e));
        QCOMPARE(r.edid[99], quint8(0x7F));
        QCOMPARE(r.edid[100], quint8(0));

        // Only regular files are read, a read error is an error, and nothing ever blocks: a
        // FIFO without a writer, a folder, a file the system cannot read.
        const QString fifo = blockingNonFile(dir.path());
        QVERIFY(!parse({"edid-upload", fifo}, r, e));
        QVERIFY2(e.contains(fifo) && e.contains("not a regular file"), qPrintable(e));
        QVERIFY(!parse({"programme", fifo}, r, e));
        QVERIFY(!parse({"edid-upload", dir.path()}, r, e));
#ifndef Q_OS_WIN
        QVERIFY(!parse({"edid-upload", "/proc/self/mem"}, r, e));
        QVERIFY2(e.contains("/proc/self/mem") && e.contains("error"), qPrintable(e));
#endif
        // A long file gives its first 256 bytes.
        QFile longFile(dir.filePath("long.bin"));
        QVERIFY(longFile.open(QIODevice::WriteOnly));
        longFile.write(QByteArray(256, char(1)) + QByteArray(300, char(2)));
        longFile.close();
        QVERIFY(parse({"edid-upload", longFile.fileName(), "--force"}, r, e));
        QCOMPARE(r.edid[255], quint8(1));
    }

    // An image without the EDID header (an empty file, a wrong one) is refused unless --force
    // is given: written by the generator it would replace a display's EDID.
    void edidUploadWantsTheHeader() {
        QTemporaryDir dir;
        CtlRequest r;
        QString e;
        QFile empty(dir.filePath("empty.bin"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(!parse({"edid-upload", empty.fileName()}, r, e));
        QVERIFY2(e.contains("empty.bin does not start with the EDID header 00 FF FF FF FF FF FF "
                            "00 (all 256 bytes are 00); give --force"),
                 qPrintable(e));
        QVERIFY(parse({"edid-upload", "--force", empty.fileName()}, r, e));
        QVERIFY(parse({"edid-upload", empty.fileName(), "--force"}, r, e));
        QVERIFY(!parse({"edid-write", "--force"}, r, e));
        // A real 128-byte EDID goes as it is.
        QVERIFY(parse(
            {"edid-upload", qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-e178wfp-vga.bin"}, r,
            e));
    }

    // edid-patch and edid-provision: the identity options, and everything a unit needs checked
    // before anything is sent.
    void identityOptions() {
        QTemporaryDir dir;
        const QString golden = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        const QString log = dir.filePath("units.csv");
        CtlRequest r;
        QString e;
        QVERIFY2(parse({"edid-provision", golden, "--serial-text=SN 7", "--serial-number", "digits",
                        "--date", "2025-W09", "--log", log, "--port", "2"},
                       r, e),
                 qPrintable(e));
        QCOMPARE(r.kind, CtlRequest::Kind::EdidProvision);
        QVERIFY(r.golden.isLoaded() && r.serialText == "SN 7" && r.logFile == log);
        QCOMPARE(r.recipe.week, 9);
        QVERIFY2(parse({"edid-provision", golden, "--serial-text=HX-103", "--log", log,
                        "--serial-format=^HX-[0-9]{3}$"},
                       r, e),
                 qPrintable(e));
        QCOMPARE(r.serialFormat, QString("^HX-[0-9]{3}$"));
        QVERIFY(
            parse({"edid-patch", golden, "out.bin", "--name", "LINE 3", "--vendor", "ABC"}, r, e));
        QCOMPARE(*r.recipe.name + ' ' + *r.recipe.vendor + ' ' + r.otherFile,
                 QStringLiteral("LINE 3 ABC out.bin"));
        // Columns: arguments, part of the reason.
        const QList<QPair<QStringList, QString>> bad = {
            {{"timing", "3", "--serial-text", "X"}, "goes with edid-patch and edid-provision"},
            {{"edid-patch", golden, "o.bin", "--log", log}, "goes with edid-provision only"},
            {{"edid-provision", golden, "--serial-text", "X"}, "needs --serial-text and --log"},
            {{"edid-provision", golden, "--serial-text", "X", "--log", dir.filePath("no/l.csv")},
             "cannot write the log"},
            {{"edid-patch", golden, "o.bin", "--serial-number", "digits"}, "needs --serial-text"},
            {{"edid-patch", golden, "o.bin", "--serial-text", "ABCDEFGHIJKLMN"}, "at most 13"},
            {{"edid-patch", golden, "o.bin", "--vendor", "AB"}, "three capital letters"},
            {{"edid-patch", golden, "o.bin", "--date", "2025-09"}, "YYYY-Www"},
            {{"edid-provision", golden, "--serial-text", "SN99999999999", "--serial-number",
              "digits", "--log", log},
             "do not fit"},
            {{"edid-provision", golden, "--serial-text", "pHX-103", "--log", log, "--serial-format",
              "^HX-[0-9]{3}$"},
             "--serial-text 'pHX-103' does not match --serial-format '^HX-[0-9]{3}$'"},
            {{"edid-provision", golden, "--serial-text", "X", "--log", log, "--serial-format",
              "HX-[0-9"},
             "--serial-format: 'HX-[0-9' is not a valid regular expression"},
            {{"edid-patch", golden, "o.bin", "--serial-format", "X"}, "with edid-provision only"},
            {{"plan", writeFile(dir.filePath("p.txt"), "name: P\nserial: ^HX-\n1 1 judge x\n"),
              "--serial", "pHX-103"},
             "'pHX-103' is not a serial of this plan"},
        };
        for (const auto& [args, reason] : bad)
            QVERIFY2(!parse(args, r, e) && e.contains(reason),
                     qPrintable(args.join(' ') + ": " + e));
    }

    // results: its subcommands, filters and store; --results also with plan and edid-provision.
    void resultsArguments() {
        QTemporaryDir dir;
        CtlRequest r;
        QString e;
        QVERIFY2(parse({"results", "runs", "--since", "2026-12-01", "--until=2026-12-31", "--plan",
                        "Incoming, 24\"", "--station", "line3-b", "--verdict", "fail", "--operator",
                        "Ann", "--results", dir.path(), "--csv"},
                       r, e),
                 qPrintable(e));
        QCOMPARE(r.kind, CtlRequest::Kind::Results);
        QVERIFY(!r.usesGenerator() && r.csvOutput && r.resultsLocation == dir.path());
        const ResultsFilter& f = r.resultsFilter;
        QCOMPARE(
            QStringList({f.since, f.until, f.plan, f.station, f.verdict, f.operatorName}),
            QStringList({"2026-12-01", "2026-12-31", "Incoming, 24\"", "line3-b", "FAIL", "Ann"}));
        QVERIFY(r.operatorName.isEmpty());
        QVERIFY(
            parse({"results", "yield", "--by", "week", "--html", dir.filePath("y.html")}, r, e));
        QVERIFY(r.resultsByWeek && r.htmlFile == dir.filePath("y.html"));
        QVERIFY(parse({"results", "export", "--csv", dir.filePath("o.csv")}, r, e));
        QCOMPARE(r.csvFile, dir.filePath("o.csv"));
        QVERIFY(parse({"results", "history", "'); DROP TABLE runs;--"}, r, e));
        QCOMPARE(r.resultsOperands, QStringList({"'); DROP TABLE runs;--"}));
        QVERIFY(
            parse({"results", "forward", "postgresql://line@db/orve1", "--results", "s"}, r, e));
        QVERIFY(r.resultsLocation == "s" && r.resultsOperands.size() == 1);
        QVERIFY(parse({"results", "import", "a.csv", "b.csv"}, r, e));
        QCOMPARE(r.resultsOperands.size(), 2);
        const QString golden = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        QVERIFY2(parse({"edid-provision", golden, "--serial-text", "X", "--log",
                        dir.filePath("u.csv"), "--results", dir.path()},
                       r, e),
                 qPrintable(e));
        QCOMPARE(r.resultsLocation, dir.path());

        // Columns: arguments, part of the reason.
        const QList<QPair<QStringList, QString>> bad = {
            {{"results"}, "needs history, runs, yield, export, import, init or forward"},
            {{"results", "init", "results.sqlite"}, "takes the server's URL"},
            {{"results", "forward", "postgresql://a:s3cret@db/x"}, "a password does not go"},
            {{"results", "runs", "--results", "postgresql://a@db/x?password=s3cret"},
             "a password does not go"},
            {{"results", "forward", "postgresql://a@db/x", "--results", "postgresql://a@db/y"},
             "names the station's own store"},
            {{"results", "import", "a.csv", "--results", "postgresql://a@db/x"},
             "goes into a station's own store"},
            {{"results", "purge"}, "unknown results command 'purge'"},
            {{"results", "history"}, "one serial"},
            {{"results", "history", "A", "--plan", "P"}, "takes no filters"},
            {{"results", "runs", "x"}, "takes no operand"},
            {{"results", "runs", "--since", "2026-02-30"}, "not a date"},
            {{"results", "runs", "--since", "2026-12-02", "--until", "2026-12-01"}, "is after"},
            {{"results", "runs", "--verdict", "maybe"}, "--verdict 'MAYBE' is not PASS"},
            {{"results", "runs", "--by", "week"}, "go with results yield"},
            {{"results", "yield", "--by", "month"}, "not day or week"},
            {{"results", "export"}, "needs --csv FILE"},
            {{"results", "export", "--csv", dir.filePath("no/o.csv")}, "cannot write"},
            {{"results", "import"}, "needs the files"},
            {{"results", "runs", "--serial", "X"}, "only its own options"},
            {{"probe", "--results", "r.sqlite"}, "goes with results, plan and edid-provision"},
            {{"probe", "--since", "2026-12-01"}, "'--since' goes with results"},
        };
        for (const auto& [args, reason] : bad)
            QVERIFY2(!parse(args, r, e) && e.contains(reason),
                     qPrintable(args.join(' ') + ": " + e));
    }
};

QTEST_GUILESS_MAIN(TestCtlArguments)
#include "test_ctl_arguments.moc"
