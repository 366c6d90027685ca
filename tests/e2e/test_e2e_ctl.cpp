// orve1ctl against the virtual generator: what a production-line script sees.
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "SimProcess.h"
#include "TestFiles.h"
#include "edid/EdidIdentity.h"
#include "edid/EdidInfo.h"

namespace {

struct CtlResult {
    int status = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

CtlResult runCtl(const SimProcess& sim, const QStringList& args, int timeoutMs = 60000) {
    QProcess p;
    p.setProcessEnvironment(sim.environment());
    QElapsedTimer t;
    t.start();
    p.start(SimProcess::bin("orve1ctl"), args);
    CtlResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.ms = t.elapsed();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString describe(const CtlResult& r, SimProcess& sim) {
    return QStringLiteral("status %1\nout: %2\nerr: %3\nsim: %4")
        .arg(r.status)
        .arg(r.out, r.err, sim.output());
}

}  // namespace

class TestE2eCtl : public QObject {
    Q_OBJECT

private slots:
    void commandsAndTableUpload() {
        SimProcess sim;
        QVERIFY(sim.start({"--port", "1"}));
        CtlResult r = runCtl(sim, {"probe"});
        QVERIFY2(r.status == 0, qPrintable(describe(r, sim)));

        // Options anywhere; the wire record on standard error: the frame, the data byte and
        // both replies.
        r = runCtl(sim, {"timing", "6", "--trace", "--port", "1"});
        QVERIFY2(r.status == 0 && r.out.isEmpty(), qPrintable(describe(r, sim)));
        QVERIFY(sim.waitFor("output timing 6 \"800x600-60\"", 2000));
        const QStringList trace = r.err.split('\n', Qt::SkipEmptyParts);
        auto has = [&](const QString& what) {
            return std::any_of(trace.begin(), trace.end(),
                               [&](const QString& l) { return l.contains(what); });
        };
        QVERIFY2(has("->  TMIX frame      54 4D 49 58 20 01 20 0A 0D"), qPrintable(r.err));
        QVERIFY2(has("->  TMIX data       20 05 20"), qPrintable(r.err));
        QCOMPARE(r.err.count("<-  reply"), 3);  // presence, then TMIX's first and final

        r = runCtl(sim, {"--port", "1", "timings", "1,3,5-9"});
        QVERIFY2(r.status == 0, qPrintable(describe(r, sim)));
        QCOMPARE(r.out, QStringLiteral("Upload successful!!\n"));

        // The 24 built-in timings that a real EDID declares, where the generator puts them;
        // the count, 24 flags of 1 among 35 and the checksum 221 - 24. None sent for an EDID
        // that declares none.
        const QString data = qEnvironmentVariable("ORVE1_TEST_DATA");
        r = runCtl(sim, {"timings", "edid:" + data + "/dell-p2415q-hdmi2.0.bin", "--trace"});
        QVERIFY2(r.status == 0, qPrintable(describe(r, sim)));
        QVERIFY(
            sim.waitFor("TMGS 24 offered -> OK: 1 3 6 8 10 12 16 17 19 21 22 23 24 25 26 27 "
                        "28 29 30 31 32 33 34 35",
                        2000));
        QList<int> bytes;
        for (const QString& l : r.err.split('\n'))
            if (l.contains("->  TMGS data"))
                bytes << l.section("TMGS data", 1).simplified().section(' ', 1, 1).toInt(0, 16);
        QVERIFY2(bytes.size() == 37 && bytes.first() == 35 && bytes.last() == 197,
                 qPrintable(r.err));
        QCOMPARE(std::accumulate(bytes.begin() + 1, bytes.end() - 1, 0), 24);
        r = runCtl(sim, {"timings", "edid:" + data + "/apple-xdr-5k-tile1.bin"});
        QVERIFY2(r.status == 2 && r.err.contains("declares none"), qPrintable(describe(r, sim)));

        // The ports as the system knows them; COM 1 is the simulator.
        r = runCtl(sim, {"ports"});
        QVERIFY2(r.status == 0 && r.out.count("\nCOM ") == 7 && r.out.startsWith("COM 1  ") &&
                     r.out.section('\n', 0, 0).contains("orve1-sim virtual generator"),
                 qPrintable(describe(r, sim)));

        // Refused before anything is sent.
        r = runCtl(sim, {"timing", "36"});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("36"));
    }

    // The 28 s upload is the GUI's end-to-end test's; here the generator starts with the file.
    void edidReadGivesTheGeneratorsBytes() {
        const QString sample = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        QFile in(sample);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray expected = in.read(256);
        expected.append(QByteArray(256 - expected.size(), 0));

        SimProcess sim;
        const QString served = sim.runtimeDir() + "/generator.bin";
        QVERIFY(QFile::copy(sample, served));
        // A generator that follows every block with a line end and "OK".
        QVERIFY(sim.start({"--port", "2", "--edid", served, "--block-trailer", "\\r\\nOK\\r\\n"}));
        const QString outFile = sim.runtimeDir() + "/read.bin";
        CtlResult rd = runCtl(sim, {"--port", "2", "edid-read", outFile});
        QVERIFY2(rd.status == 0, qPrintable(describe(rd, sim)));
        QCOMPARE(rd.out, QStringLiteral("  Read EDID Successful!!  \n"));
        QFile got(outFile);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.readAll(), expected);
        qInfo("EDID read took %.1f s end to end", rd.ms / 1000.0);

        // A file without the EDID header is refused before anything is sent.
        QFile zeros(sim.runtimeDir() + "/zeros.bin");
        QVERIFY(zeros.open(QIODevice::WriteOnly));
        zeros.write(QByteArray(256, 0));
        zeros.close();
        CtlResult up = runCtl(sim, {"--port", "2", "edid-upload", zeros.fileName()});
        QVERIFY2(up.status == 2 && up.err.contains("--force"), qPrintable(describe(up, sim)));
        QVERIFY(!sim.output().contains("UEDID"));
    }

    // Two units at once on two generators, logged to one file: one passes and its generator
    // keeps the unit's identity; the other's generator keeps a bit wrong, and it fails.
    void edidProvision() {
        const QString golden = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        SimProcess good;
        SimProcess spoiling;
        const QString held = good.runtimeDir() + "/held.bin";
        QVERIFY(good.start({"--port", "7", "--edid", held}));
        QVERIFY(spoiling.start({"--port", "8", "--spoil-upload", "12"}));
        const QString log = good.runtimeDir() + "/units.csv";
        QProcess units[2];
        for (int i = 0; i < 2; ++i) {
            units[i].setProcessEnvironment((i ? spoiling : good).environment());
            units[i].start(SimProcess::bin("orve1ctl"),
                           {"edid-provision", golden, "--port", i ? "8" : "7", "--serial-text",
                            QStringLiteral("SN-000%1").arg(i + 1), "--serial-number", "digits",
                            "--date", "2025-W09", "--log", log});
        }
        for (QProcess& p : units) QVERIFY(p.waitForFinished(90000));
        const QString out = units[0].readAllStandardOutput();
        const QString err = units[1].readAllStandardError();
        QVERIFY2(units[0].exitCode() == 0 && out.contains("Read back") && out.endsWith("PASS\n"),
                 qPrintable(out + units[0].readAllStandardError() + good.output()));
        QVERIFY2(
            units[1].exitCode() == 1 &&
                err.contains("FAIL at Compare: The EDID read back differs from the one "
                             "uploaded in 1 byte: 0x00c (serial number): uploaded 02, read 03."),
            qPrintable(err));
        const EdidImage written = [&] {
            EdidImage image{};
            const QByteArray bytes = readFile(held);
            std::copy_n(bytes.constBegin(), std::min<qsizetype>(256, bytes.size()), image.begin());
            return image;
        }();
        const EdidIdentity::Fields f = EdidIdentity::read(written);
        QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                     .arg(f.serialText)
                     .arg(f.serialNumber)
                     .arg(f.week)
                     .arg(f.year),
                 QStringLiteral("SN-0001 1 9 2025"));
        QVERIFY(EdidInfo(written).checksumsSound());
        QStringList results = QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(results.size(), 3);
        std::sort(results.begin() + 1, results.end());
        QVERIFY(results[1].contains(",SN-0001,1,9,2025,dell-p2415q-hdmi2.0.bin,") &&
                results[1].contains(",PASS,,"));
        QVERIFY(results[2].contains(",SN-0002,") && results[2].contains(",FAIL,Compare,"));

        // A patch that cannot be made leaves its output as it was: there is no room for a
        // serial text in this EDID.
        const QString kept = writeFile(good.runtimeDir() + "/kept.bin", "kept");
        CtlResult r = runCtl(
            good, {"edid-patch", qEnvironmentVariable("ORVE1_TEST_DATA") + "/aoc-c24g1-hdmi.bin",
                   kept, "--serial-text", "X1"});
        QVERIFY2(r.status == 2 && r.err.contains("no free descriptor slot"), qPrintable(r.err));
        QCOMPARE(readFile(kept), QByteArray("kept"));
    }

    void faultsAreReported() {
        {
            SimProcess sim;
            QVERIFY(sim.start({"--port", "3", "--reject", "first"}));
            // The presence query itself is rejected: the generator counts as absent, and says
            // what it answered instead.
            CtlResult r = runCtl(sim, {"--port", "3", "pattern", "2"});
            QVERIFY2(r.status == 1 && r.err.contains("without \"OK\": \"NG\\x0D\\x0A\""),
                     qPrintable(describe(r, sim)));
        }
        {
            SimProcess sim;
            QVERIFY(sim.start({"--port", "3", "--reject", "final"}));
            CtlResult r = runCtl(sim, {"--port", "3", "timing", "3"});
            QVERIFY2(r.status == 1 && r.out.isEmpty() && r.err == "Error!!\n",
                     qPrintable(describe(r, sim)));
        }
        {
            // A damaged block is asked for again and the read still succeeds.
            SimProcess sim;
            QVERIFY(sim.start({"--port", "4", "--edid-fault", "corrupt:2"}));
            CtlResult r = runCtl(sim, {"--port", "4", "edid-read", sim.runtimeDir() + "/x.bin"});
            QVERIFY2(r.status == 0, qPrintable(describe(r, sim)));
            QVERIFY(sim.waitFor("REDID block 0xE0", 3000) || sim.waitFor("REDID block 0xe0", 100));
            QCOMPARE(sim.output().count(QRegularExpression(
                         "REDID block 0x40 ", QRegularExpression::CaseInsensitiveOption)),
                     2);
        }
        {
            // A generator that answers 2.5 s late: the first probe gives up, and its late "OK"
            // must not answer the next program's question.
            SimProcess sim;
            QVERIFY(sim.start({"--port", "6", "--delay", "2500"}));
            CtlResult r = runCtl(sim, {"--port", "6", "probe"});
            QVERIFY2(r.status == 1 && r.out.isEmpty() && r.err == "No Response !!\n",
                     qPrintable(describe(r, sim)));
            QTest::qWait(1500);
            r = runCtl(sim, {"--port", "6", "probe"});
            QVERIFY2(r.status == 1 && r.out.isEmpty() && r.err == "No Response !!\n",
                     qPrintable(describe(r, sim)));
        }
        {
            // The line goes away in the middle of a table upload.
            SimProcess sim;
            QVERIFY(sim.start({"--port", "5", "--hangup-after", "12"}));
            CtlResult r = runCtl(sim, {"--port", "5", "patterns", "all"}, 30000);
            QVERIFY2(r.status == 1 && r.out.isEmpty() && r.err.startsWith("No Response !!\n") &&
                         r.err.contains("went away"),
                     qPrintable(describe(r, sim)));
        }
    }
};

QTEST_GUILESS_MAIN(TestE2eCtl)
#include "test_e2e_ctl.moc"
