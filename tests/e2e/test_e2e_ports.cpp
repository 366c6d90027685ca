// Two virtual generators on one COM n, and what the real line says of a port in use.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include "SimProcess.h"
#include "link/ComPortMap.h"
#include "link/PortDescription.h"
#include "link/QtSerialLine.h"

namespace {

// A generator started by hand in another's runtime directory, never left running.
struct SecondSim : QProcess {
    ~SecondSim() override {
        if (state() != NotRunning) {
            kill();
            waitForFinished(1000);
        }
    }
};

QString ptsOf(const QString& simOutput) {
    return QRegularExpression(QStringLiteral("COM\\d -> (\\S+)")).match(simOutput).captured(1);
}

}  // namespace

class TestE2ePorts : public QObject {
    Q_OBJECT

private slots:
    void aSecondGeneratorIsRefusedUntilTheFirstIsGone() {
        SimProcess first;
        QVERIFY(first.start({"--port", "2"}));
        qputenv("XDG_RUNTIME_DIR", first.runtimeDir().toUtf8());
        const QString pts = ptsOf(first.output());
        const qint64 firstPid = first.process().processId();
        QVERIFY(!pts.isEmpty());

        SecondSim second;
        second.setProcessEnvironment(first.environment());
        second.start(SimProcess::bin("orve1-sim"), {"--port", "2"});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), 1);
        const QString refusal = QString::fromUtf8(second.readAllStandardError());
        QVERIFY2(refusal.contains(QStringLiteral("COM2 is already served by another orve1-sim "
                                                 "(pid %1, %2)")
                                      .arg(firstPid)
                                      .arg(pts)),
                 qPrintable(refusal));
        // The first one keeps its port, and the port says who serves it.
        QCOMPARE(QFile::symLinkTarget(ComPortMap::linkPath(2)), pts);
        const PortDescription served = PortDescription::describe(2);
        QCOMPARE(served.kind(), PortDescription::Kind::Simulator);
        QCOMPARE(served.simulatorPid(), firstPid);

        // A port in use is refused with the program that holds it; the generator holding its
        // own end is not blamed.
        QtSerialLine holder;
        QtSerialLine late;
        QCOMPARE(holder.open(2), 0);
        QVERIFY(late.open(2) != 0);
        const QString detail = late.lastErrorDetail(2);
        QVERIFY2(detail.contains(QStringLiteral("in use by this program (pid %1)")
                                     .arg(QCoreApplication::applicationPid())) &&
                     !detail.contains(QString::number(firstPid)),
                 qPrintable(detail));
        holder.close(2);

        // Killed, it leaves a link behind that no one serves; the next generator takes over.
        first.process().kill();
        QVERIFY(first.process().waitForFinished(3000));
        QCOMPARE(ComPortMap::registeredBy(2), qint64(0));
        SecondSim third;
        third.setProcessEnvironment(first.environment());
        third.start(SimProcess::bin("orve1-sim"), {"--port", "2"});
        QVERIFY(third.waitForStarted(5000));
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += third.readAllStandardOutput()).contains("COM2 -> "),
                                 5000);
        QCOMPARE(ComPortMap::registeredBy(2), third.processId());
        QCOMPARE(PortDescription::describe(2).simulatorPid(), third.processId());
        third.terminate();
        QVERIFY(third.waitForFinished(3000));
        // Stopped, it leaves nothing behind.
        QCOMPARE(QDir(ComPortMap::runtimeDir())
                     .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
        qunsetenv("XDG_RUNTIME_DIR");
    }
};

QTEST_GUILESS_MAIN(TestE2ePorts)
#include "test_e2e_ports.moc"
