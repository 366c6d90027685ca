// The engine talking to the virtual generator's protocol side directly: every payload the
// engine builds must be accepted by an independent reading of the wire, and a wrong one not.
#include <QTemporaryDir>
#include <QTest>

#include "EngineRig.h"
#include "GeneratorMemory.h"
#include "ProtocolMachine.h"
#include "PtyPort.h"
#include "SimOptions.h"
#include "link/ComPortMap.h"

namespace {

// Wires the fake line to the simulator: every byte put goes to it, its replies come back.
struct SimRig : EngineRig {
    SimOptions options;
    GeneratorMemory memory;
    ProtocolMachine machine{options, memory};
    QStringList log;
    QStringList shown;  // messages of every run

    SimRig() {
        line.onPut = [this](FakeLine& l) {
            ProtocolMachine::Outcome out;
            if (machine.feed(l.puts.back().byte, &out)) {
                log << QString::fromStdString(out.line);
                l.feed(out.reply);
            }
        };
    }
    // Runs the command until its slot is idle again, as the timers would.
    void run(Command c) {
        QVERIFY(start(c));
        for (int i = 0; i < 40 && engine.AnyCommandBusy(); ++i) {
            poll();
            tick();
        }
        QVERIFY(!engine.AnyCommandBusy());
        shown += view.messages;
    }
};

}  // namespace

class TestSimDialogue : public QObject {
    Q_OBJECT

private slots:
    void everyCommandGoesThrough() {
        SimRig rig;
        rig.engine.data().SelectedTimingIndex = 5;
        rig.run(Command::Tmix);
        QCOMPARE(rig.memory.timing, quint8(5));
        rig.engine.data().SelectedPatternIndex = 12;
        rig.run(Command::Ptix);
        QCOMPARE(rig.memory.pattern, quint8(12));

        rig.engine.data().TimingSelection.fill(0);
        rig.engine.data().TimingSelection[0] = 1;
        rig.run(Command::Tmgs);
        rig.engine.data().PatternSelection.fill(1);
        rig.run(Command::Ptns);
        ProgramColumns& p = rig.engine.data().ProgramUpload;
        p.clear();
        p.timing[0] = 4;
        p.pattern[0] = 12;
        p.unit[0] = 1;
        p.showTime[0] = 5;
        rig.run(Command::Atrn);
        QCOMPARE(rig.memory.offeredTimings[1], quint8(0));
        QCOMPARE(rig.memory.offeredPatterns[38], quint8(1));
        QCOMPARE(rig.memory.programme[0], (GeneratorMemory::Step{4, 12, 1, 5}));

        for (int i = 0; i < 256; ++i) rig.engine.edid()[i] = quint8(255 - i);
        rig.run(Command::Uedid);
        QVERIFY(rig.memory.edid == rig.engine.edid());
        rig.engine.edid().fill(0);
        rig.run(Command::Redid);
        QVERIFY(rig.memory.edid == rig.engine.edid());
        rig.run(Command::Wedid);
        rig.run(Command::Dfset);

        QCOMPARE(rig.shown,
                 QStringList({"Upload successful!!", "Upload successful!!", "Upload successful!!",
                              "Upload successful!!", "  Read EDID Successful!!  ",
                              "Write EDID successful!!", "Upload Successful!!"}));
        QCOMPARE(rig.st().devicePresent, quint8(1));
    }

    void wrongChecksumIsRefused() {
        SimOptions options;
        GeneratorMemory memory;
        ProtocolMachine machine(options, memory);
        QByteArray wire("TMGS \x25 \n\r", 10);
        QByteArray data(1, 35);
        data += char(1);
        data += QByteArray(34, 0);
        data += char(219);  // 220 would be right
        for (char b : data) wire += QByteArray(" ") + b + " ";
        QList<ProtocolMachine::Outcome> outcomes;
        for (char b : wire) {
            ProtocolMachine::Outcome out;
            if (machine.feed(quint8(b), &out))
                outcomes << out;
        }
        QCOMPARE(outcomes.size(), 2);
        QVERIFY(outcomes[0].reply.contains("OK"));
        QVERIFY(!outcomes[1].reply.contains("OK"));
        QCOMPARE(memory.offeredTimings[1], quint8(1));  // defaults kept
    }

    void aPortServedByARunningGeneratorIsNotTakenOver() {
        QTemporaryDir tmp;
        qputenv("XDG_RUNTIME_DIR", tmp.path().toUtf8());
        const QString link = ComPortMap::linkPath(5);
        std::string error;

        PtyPort first;
        QVERIFY(first.open(&error));
        QVERIFY2(first.publish(5, &error), error.c_str());
        QCOMPARE(ComPortMap::registeredBy(5), QCoreApplication::applicationPid());

        // A second generator on the same port is refused and leaves the first one's link be,
        // also when it stops.
        {
            PtyPort second;
            QVERIFY(second.open(&error));
            QVERIFY(!second.publish(5, &error));
            const QString why = QString::fromStdString(error);
            QVERIFY2(why.contains("COM5 is already served by another orve1-sim") &&
                         why.contains(QString::number(QCoreApplication::applicationPid())) &&
                         why.contains(QString::fromStdString(first.slavePath())),
                     qPrintable(why));
        }
        QCOMPARE(QFile::symLinkTarget(link), QString::fromStdString(first.slavePath()));
        QCOMPARE(ComPortMap::device(5), link);

        // Once the first has stopped the port is free again.
        first.close();
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(!QFileInfo::exists(ComPortMap::registrationPath(5)));
        QCOMPARE(ComPortMap::registeredBy(5), qint64(0));

        // A link left by a generator that was killed (no registration held) is replaced, even
        // when its pseudo-terminal number has been given to a terminal since.
        QVERIFY(QFile::link("/dev/ptmx", link));
        PtyPort third;
        QVERIFY(third.open(&error));
        QVERIFY2(third.publish(5, &error), error.c_str());
        QCOMPARE(QFile::symLinkTarget(link), QString::fromStdString(third.slavePath()));
        third.close();

        // Anything that is not a link is never replaced.
        QFile plain(link);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        PtyPort fourth;
        QVERIFY(fourth.open(&error));
        QVERIFY(!fourth.publish(5, &error));
        QVERIFY(QFileInfo(link).isFile());
        qunsetenv("XDG_RUNTIME_DIR");
    }
};

QTEST_GUILESS_MAIN(TestSimDialogue)
#include "test_sim_dialogue.moc"
