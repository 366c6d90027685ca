// Test plans: the file format, and runs on the model generator in simulated time.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "EngineRig.h"
#include "ModelGenerator.h"
#include "TimerLoop.h"
#include "plan/PlanFile.h"
#include "plan/PlanRunner.h"
#include "plan/RunJournal.h"
#include "plan/RunReport.h"

namespace {

const QByteArray Head = "name: Incoming\n";

// A runner on the model generator; the timers run in simulated time, the runner polled after
// every event as its window or orve1ctl polls it.
struct PlanRig {
    EngineRig rig;
    ModelGenerator model;
    TimerLoop loop{rig.engine, rig.clock, rig.view, model};
    PlanRunner runner{rig.engine, rig.clock};
    QTemporaryDir dir;

    PlanRig() {
        model.attach(rig.line, rig.clock);
        loop.afterEvent = [this] { runner.poll(); };
        runner.now = [] { return QDateTime(QDate(2026, 12, 8), QTime(14, 15, 3)); };
    }
    bool start(const QByteArray& text, const QString& serial) {
        Plan plan;
        QString error;
        if (!PlanFile::parse(Head + text, plan, error))
            return false;
        RunSetup setup{serial, "Ann", "plan.txt", PlanFile::digest(text), dir.path(), 1,
                       text,   false, dir.path()};
        return runner.start(plan, setup, error);
    }
    // Runs the timers until the runner waits for a verdict or has finished.
    PlanRunner::State settle() {
        const quint32 until = rig.clock.now + 60000;
        while (rig.clock.now < until && runner.state() != PlanRunner::State::Judging &&
               runner.state() != PlanRunner::State::Finished)
            loop.runUntil(rig.clock.now + 100);
        return runner.state();
    }
    // "TMIX 9", "PTIX 14": what the generator was told, in order.
    QStringList sent() const {
        QStringList out;
        for (const auto& e : model.exchanges)
            out << QString::fromLatin1(e.keyword) +
                       (e.data.empty() ? QString() : QStringLiteral(" %1").arg(e.data[0]));
        return out;
    }
    QStringList csv() const {
        QFile f(dir.filePath("results.csv"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n')
                                           : QStringList();
    }
    QString html() const {
        QFile f(runner.reportPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

}  // namespace

class TestPlan : public QObject {
    Q_OBJECT

private slots:
    void goodFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("steps");  // timing/pattern/mode/instruction per step
        QTest::newRow("comments, blanks, same, timed")
            << QByteArray(
                   "# a plan\n\nname:  Incoming, 24\"  \nreports: out\n"
                   "10 1 judge White: no dead pixels # kept\n"
                   "  same\t15\tJUDGE   Gray   steps \n28 13 5s\n30 same 2m Soak\n")
            << "9/0/judge/White: no dead pixels # kept;same/14/judge/Gray   steps;27/12/5s/;"
               "29/same/2m/Soak";
        QTest::newRow("Windows editor: mark and CRLF")
            << QByteArray("\xEF\xBB\xBFname: W\r\n1 39 59s\r\n") << "0/38/59s/";
    }
    void goodFiles() {
        QFETCH(QByteArray, text);
        QFETCH(QString, steps);
        Plan plan;
        QString error;
        QVERIFY2(PlanFile::parse(text, plan, error), qPrintable(error));
        QStringList got;
        auto choice = [](int v) { return v == PlanStep::Same ? "same" : QString::number(v); };
        for (const PlanStep& s : plan.steps)
            got << QStringList{choice(s.timing), choice(s.pattern), s.modeText(), s.instruction}
                       .join('/');
        QCOMPARE(got.join(';'), steps);
        // What the window saves reads back as the same plan.
        Plan again;
        QVERIFY2(PlanFile::parse(PlanFile::write(plan), again, error), qPrintable(error));
        QVERIFY(again == plan);
    }

    void badFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        const QByteArray ok = "name: P\n1 1 judge Look\n";
        QTest::newRow("timing 36") << ok + "36 1 judge x\n"
                                   << "line 3: '36' is not a timing";
        QTest::newRow("timing 0") << ok + "0 1 judge x\n"
                                  << "line 3: '0' is not a timing";
        QTest::newRow("pattern 40") << ok + "1 40 judge x\n"
                                    << "line 3: '40' is not a pattern";
        QTest::newRow("no pattern") << ok + "1\n"
                                    << "line 3: the pattern is missing";
        QTest::newRow("no mode") << ok + "1 2\n"
                                 << "line 3: the mode is missing";
        QTest::newRow("60s") << ok + "1 2 60s x\n"
                             << "line 3: '60s' is not judge";
        QTest::newRow("0m") << ok + "1 2 0m x\n"
                            << "line 3: '0m' is not judge";
        QTest::newRow("5h") << ok + "1 2 5h x\n"
                            << "line 3: '5h' is not judge";
        QTest::newRow("mute judge") << ok + "1 2 judge\n"
                                    << "line 3: a judged step needs";
        QTest::newRow("same first") << QByteArray("name: P\nsame 1 judge x\n")
                                    << "line 2: the first step cannot keep the \"same\" timing";
        QTest::newRow("no name") << QByteArray("# x\n1 1 judge x\n")
                                 << "line 2: a \"name:\" line must come before";
        QTest::newRow("late name") << ok + "name: Q\n"
                                   << "line 3: the plan already has a name";
        QTest::newRow("unknown") << ok + "nmae: Q\n"
                                 << "line 3: unknown setting 'nmae'";
        QTest::newRow("no steps") << QByteArray("name: P\n# none\n") << "line 3: the plan has no";
        QTest::newRow("not UTF-8") << ok + "1 1 judge \xFF\n"
                                   << "line 3: not UTF-8";
        // The settings before the steps, and edid steps.
        const QByteArray n = "name: P\n";
        const QByteArray step = "1 1 judge x\n";
        const QList<QPair<QByteArray, QString>> rows = {
            {n + "defects: a,b,c,d,e,f,g,h,i,j\n" + step, "line 2: 10 defects; at most 9"},
            {n + "defects: mura, , flicker\n" + step, "line 2: defect 2 is empty"},
            {n + "defects: mura, Mura\n" + step, "line 2: the defect 'Mura' is listed twice"},
            {ok + "defects: mura\n", "line 3: the defects: line must come before the first"},
            {n + "serial: ^HX-[0-9\n" + step,
             "line 2: the serial format '^HX-[0-9' is not a valid regular expression"},
            {n + "serial: x\nserial: y\n" + step, "line 3: the serial format is given twice"},
            {n + "on-fail: retry\n" + step, "line 2: on-fail 'retry' is not stop or continue"},
            {n + "results:\n" + step, "line 2: the results place is empty"},
            {n + "port: 9\n" + step, "line 2: port '9' is not a COM port 1..8"},
            {n + "- - judge a\nsame 1 judge b\n", "line 3: \"same\" timing, but no step before"},
            {n + "1 - edid g.bin\n", "line 2: an edid step sends no timing or pattern"},
            {n + "- - edid\n", "line 2: the edid step needs its golden EDID file"},
            {n + "- - edid \"g .bin\n", "line 2: the golden file's name has no closing \""},
            {n + "- - edid g.bin look\n", "line 2: 'look' is not an option of an edid step"},
            {n + "- - edid g.bin date=today\n", "line 2: 'date=today' is not date=week|golden"},
            {n + "- - edid g.bin date=week date=golden\n", "line 2: date= is given twice"},
        };
        for (const auto& [text, error] : rows) QTest::newRow(qPrintable(error)) << text << error;
    }
    void badFiles() {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        Plan plan;
        plan.name = "kept";
        QString got;
        QVERIFY(!PlanFile::parse(text, plan, got));
        QVERIFY2(got.startsWith(error), qPrintable(got));
        QCOMPARE(plan.name, QString("kept"));
    }

    // Every new line read, written back and read again to the same plan; "-" and "same"
    // resolved; the edid step's choices as EDID > Production's recipe.
    void newLinesAndResolution() {
        const QByteArray text =
            "name: N\ndefects: dead pixel , mura\nserial: ^HX-[0-9]{3}$\non-fail: continue\n"
            "results: db/line3.sqlite\nport: 4\n- - judge Look\n10 1 judge White\n"
            "- same judge Keep timing\nsame - 5s Keep pattern\n"
            "- - edid \"gold en.bin\" serial-text=golden serial-number=0 date=golden\n"
            "- - EDID g.bin\n";
        Plan plan;
        QString error;
        QVERIFY2(PlanFile::parse(text, plan, error), qPrintable(error));
        QCOMPARE(plan.defects, QStringList({"dead pixel", "mura"}));
        QCOMPARE(plan.serialFormat + ' ' + plan.results + ' ' + QString::number(plan.port),
                 QString("^HX-[0-9]{3}$ db/line3.sqlite 4"));
        QVERIFY(plan.onFail == Plan::OnFail::Continue);
        QCOMPARE(plan.serialProblem("HX-103"), QString());
        QCOMPARE(plan.serialProblem("pHX-103"), QString("'pHX-103' is not a serial of this plan"));
        QStringList sent;
        QStringList shown;
        for (int k = 0; k < plan.steps.size(); ++k) {
            sent << QString::number(plan.timingToSend(k)) + '/' +
                        QString::number(plan.patternToSend(k));
            shown << plan.timingShown(k) + '/' + plan.patternShown(k);
        }
        QCOMPARE(sent.join(' '), QString("-1/-1 9/0 -1/0 9/-1 -1/-1 -1/-1"));
        QCOMPARE(shown.mid(0, 4), QStringList({"as shown/as shown", "10 1024x768-60/1 White",
                                               "as shown (10 1024x768-60)/1 White",
                                               "10 1024x768-60/as shown (1 White)"}));
        const PlanStep& golden = plan.steps[4];
        QCOMPARE(golden.golden, QString("gold en.bin"));
        QVERIFY(golden.mode == PlanStep::Mode::Edid && golden.instruction.isEmpty());
        const IdentityRecipe r = golden.recipe();
        QVERIFY(r.keepSerialText && r.number == IdentityRecipe::Number::Given &&
                r.givenNumber == 0 && r.date == IdentityRecipe::Date::Golden);
        const IdentityRecipe d = plan.steps[5].recipe();  // the defaults
        QVERIFY(!d.keepSerialText && d.number == IdentityRecipe::Number::Digits &&
                d.date == IdentityRecipe::Date::Today);
        QCOMPARE(plan.problem(), QString());
        Plan again;
        QVERIFY2(PlanFile::parse(PlanFile::write(plan), again, error), qPrintable(error));
        QVERIFY(again == plan);
        again.steps[4].serialText = PlanStep::SerialText::Scan;
        QVERIFY(again != plan);

        // A fail note as orve1ctl reads it. Columns: line, defect, note.
        const QList<QStringList> notes = {{"2", "mura", ""},
                                          {" 1  top left", "dead pixel", "top left"},
                                          {"3 spots", "", "3 spots"},
                                          {"12", "", "12"},
                                          {"1st row", "", "1st row"}};
        for (const QStringList& row : notes) {
            QString defect, note;
            plan.pickDefect(row[0], defect, note);
            QCOMPARE(QStringList({row[0], defect, note}), row);
        }
    }

    // A golden EDID that is missing or no EDID refuses the plan with the edid step's line.
    void goldenFilesChecked() {
        QTemporaryDir dir;
        const QString plan = dir.filePath("p.txt");
        auto load = [&](const QByteArray& text, QString& error) {
            QFile f(plan);
            f.open(QIODevice::WriteOnly);
            f.write("name: G\n# golden\n" + text);
            f.close();
            Plan p;
            QByteArray bytes;
            return PlanFile::load(plan, p, bytes, error);
        };
        QString error;
        QVERIFY(!load("- - edid golden.bin\n", error));
        QVERIFY2(error.startsWith(plan + ": line 3: the golden EDID cannot be used: ") &&
                     error.contains("golden.bin"),
                 qPrintable(error));
        QVERIFY(QFile::copy(qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin",
                            dir.filePath("golden.bin")));
        QVERIFY2(load("- - edid golden.bin\n", error), qPrintable(error));
        QVERIFY(QFile::copy(plan, dir.filePath("plan-as-golden.bin")));
        QVERIFY(!load("1 1 judge x\n- - edid golden.bin\n- - edid plan-as-golden.bin\n", error));
        QVERIFY2(error.contains(": line 5: the golden EDID cannot be used: ") &&
                     error.contains("not a sound EDID"),
                 qPrintable(error));
    }

    // A "-" step sends nothing; a failed step's defect code goes into the report and, inside
    // the notes text, into the results line; a station's run says so.
    void keepStepsAndDefectCodes() {
        PlanRig p;
        Plan plan;
        QString error;
        QVERIFY(PlanFile::parse(Head + "defects: dead pixel, mura\n- - judge Look\n"
                                       "10 1 judge White\n- 15 judge Gray\n",
                                plan, error));
        RunSetup setup{"SN-5", "Ann", "plan.txt", "d", p.dir.path(), 1, {}, false, {}};
        setup.stationMode = true;
        QVERIFY(p.runner.start(plan, setup, error));
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QVERIFY(p.sent().isEmpty());
        QVERIFY(p.runner.pass());
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QVERIFY(p.runner.pass());
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QVERIFY(p.runner.fail("banding at the left", "mura"));
        QCOMPARE(p.settle(), PlanRunner::State::Finished);
        QCOMPARE(p.sent(), QStringList({"TMIX 9", "PTIX 0", "PTIX 14"}));
        const QString html = p.html();
        for (const char* shown :
             {"<th>Defect and note</th>", "<b>[mura]</b> banding at the left",
              "<td class=\"name\">as shown (10 1024x768-60)</td>", "<th>Station mode</th>"})
            QVERIFY2(html.contains(shown), shown);
        QVERIFY2(p.csv()[1].contains(",FAIL,completed,3,3,3,3: [mura] banding at the left,"),
                 qPrintable(p.csv()[1]));
        QCOMPARE(p.csv()[0], QString(RunReport::csvHeader()).trimmed());
    }

    // Only what changes is sent; Back shows the step before again; timed steps go on by
    // themselves; the report and the results line say it all.
    void runSendsOnlyWhatChanges() {
        PlanRig p;
        p.rig.engine.data().SelectedTimingIndex = 7;  // the timing window's choice
        QVERIFY(
            p.start("10 1 judge White\nsame 15 judge Gray, \"16\"\n28 13 2s Bar\n"
                    "same same judge Look again\n",
                    "SN-1"));
        QCOMPARE(p.rig.engine.holder(), &p.runner);
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QVERIFY(!p.runner.back());  // nothing before the first step
        QVERIFY(p.runner.pass());
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QVERIFY(p.runner.fail("dead pixel, top left"));
        QCOMPARE(p.settle(), PlanRunner::State::Judging);  // through the timed step
        QCOMPARE(p.runner.currentStep(), 3);
        QVERIFY(p.runner.back());  // the timed step again: nothing to send
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QVERIFY(p.runner.pass());
        QCOMPARE(p.settle(), PlanRunner::State::Finished);
        QCOMPARE(p.sent(), QStringList({"TMIX 9", "PTIX 0", "PTIX 14", "TMIX 27", "PTIX 12"}));
        QVERIFY(p.model.violations.empty());
        QVERIFY(p.rig.view.messages.isEmpty());
        QCOMPARE(p.rig.engine.holder(), nullptr);
        QCOMPARE(p.rig.engine.data().SelectedTimingIndex, quint8(7));

        const RunRecord& r = p.runner.record();
        QCOMPARE(r.verdict(), RunRecord::Verdict::Fail);
        QVERIFY(r.steps[2].redone && r.steps[2].verdict == RunRecord::StepVerdict::Shown);
        QVERIFY2(p.runner.reportError().isEmpty(), qPrintable(p.runner.reportError()));
        QCOMPARE(QFileInfo(p.runner.reportPath()).fileName(), "SN-1_20261208-141503.html");
        const QString html = p.html();
        for (const char* shown :
             {"<div class=\"verdict FAIL\">FAIL</div>", "Failed step: 2", "10 1024x768-60",
              "15 Gray-16", "28 1920x1080I-60", "dead pixel, top left", "shown (judged again)",
              "Ann", "Gray, &quot;16&quot;", "COM 1", "completed"})
            QVERIFY2(html.contains(shown), shown);
        QStringList csv = p.csv();
        QCOMPARE(csv.size(), 3);  // header, one line, the end
        QCOMPARE(csv[0], QString(RunReport::csvHeader()).trimmed());
        QVERIFY2(csv[1].startsWith("2026-12-08T14:15:03"), qPrintable(csv[1]));
        QVERIFY2(csv[1].contains(",SN-1,Ann,") &&
                     csv[1].contains(",FAIL,completed,4,4,2,\"2: dead pixel, top left\",0,"
                                     "SN-1_20261208-141503.html"),
                 qPrintable(csv[1]));

        // The next unit, same second, a serial that tries to leave the folder: a name of its
        // own inside it, and both steps sent again (the generator may have been switched).
        QVERIFY(p.start("28 13 judge Bar\n", "../SN 1/2"));
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QVERIFY(p.runner.pass());
        QCOMPARE(p.sent().mid(5), QStringList({"TMIX 27", "PTIX 12"}));
        QCOMPARE(QFileInfo(p.runner.reportPath()).dir(), QDir(p.dir.path()));
        QCOMPARE(QFileInfo(p.runner.reportPath()).fileName(), "_.._SN_1_2_20261208-141503.html");
        QVERIFY(p.start("28 13 judge Bar\n", "../SN 1/2"));
        p.settle();
        p.runner.pass();
        QCOMPARE(QFileInfo(p.runner.reportPath()).fileName(), "_.._SN_1_2_20261208-141503_2.html");
        csv = p.csv();
        QCOMPARE(csv.size(), 5);
        QVERIFY(csv[2].contains(",PASS,completed,1,1,,,0,"));
    }

    // A step whose command is not answered, or whose line is gone, pauses the run: Retry
    // (reopening the port when it was lost) sends the step's timing and pattern again and the
    // run goes on; a refused command, Stop, or ten minutes without Retry end it. No box opens.
    void pauseAndRetry_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("verdict");
        // What reached the generator after step 1 ("TMIX": its frame, never its index).
        QTest::addColumn<QString>("sentAfter");
        // fault: silent (no answer from the 5th reply on), gone (the adapter pulled after
        // step 1), refused (NG to the 5th reply). then: retry, stop, wait (ten minutes),
        // retry-closed (the port does not open: still paused), none.
        QTest::newRow("silent, retried") << "silent"
                                         << "retry"
                                         << "PASS"
                                         << "TMIX,TMIX 19,PTIX 0";
        QTest::newRow("silent, stopped") << "silent"
                                         << "stop"
                                         << "STOPPED"
                                         << "TMIX";
        QTest::newRow("silent, left") << "silent"
                                      << "wait"
                                      << "ERROR"
                                      << "TMIX";
        QTest::newRow("gone, reopened") << "gone"
                                        << "retry"
                                        << "PASS"
                                        << "TMIX,URTCNT,TMIX 19,PTIX 0";
        QTest::newRow("gone, port stays shut") << "gone"
                                               << "retry-closed"
                                               << "STOPPED"
                                               << "TMIX";
        QTest::newRow("refused") << "refused"
                                 << "none"
                                 << "ERROR"
                                 << "TMIX";
    }
    void pauseAndRetry() {
        QFETCH(QString, fault);
        QFETCH(QString, then);
        QFETCH(QString, verdict);
        QFETCH(QString, sentAfter);
        PlanRig p;
        bool silent = fault == "silent";
        p.model.planner = [&](int n, ModelGenerator::ReplyKind) {
            ModelGenerator::Plan plan;
            if (n == 4 && fault == "refused")
                plan.fault = ModelGenerator::Fault::Reject;
            else if (n >= 4 && silent)
                plan.fault = ModelGenerator::Fault::Drop;
            return plan;
        };
        QVERIFY(p.start("10 1 judge White\n20 1 judge Big\n", "SN-2"));
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        const int before = int(p.model.exchanges.size());
        if (fault == "gone") {
            p.rig.line.usable = false;
            if (then == "retry-closed")
                p.rig.line.failingOpens << 1;
        }
        QVERIFY(p.runner.pass());
        p.loop.runUntil(p.rig.clock.now + 20000);
        if (fault != "refused") {
            QCOMPARE(p.runner.state(), PlanRunner::State::Paused);
            QVERIFY2(p.runner.pauseText().startsWith(fault == "gone" ? "The line to the generator "
                                                                       "is gone"
                                                                     : "The generator does not "
                                                                       "answer: check the cable"),
                     qPrintable(p.runner.pauseText()));
        }
        QString why;
        if (then == "retry" || then == "retry-closed") {
            silent = false;
            p.rig.line.usable = true;
            const bool retried = p.runner.retry(why);
            QCOMPARE(retried, then == "retry");
            if (!retried) {
                QVERIFY2(why.startsWith("COM 1 could not be opened: "), qPrintable(why));
                QCOMPARE(p.runner.state(), PlanRunner::State::Paused);
                p.runner.stop(RunRecord::End::Stopped);
            } else {
                QCOMPARE(p.settle(), PlanRunner::State::Judging);
                QCOMPARE(p.runner.currentStep(), 1);
                QVERIFY(p.runner.pass());
            }
        } else if (then == "stop") {
            p.runner.stop(RunRecord::End::Stopped);
        } else if (then == "wait") {
            p.loop.runUntil(p.rig.clock.now + PlanRunner::PauseLimitMs);
        }
        QCOMPARE(p.settle(), PlanRunner::State::Finished);
        const RunRecord& r = p.runner.record();
        QCOMPARE(RunRecord::verdictText(r.verdict()), verdict);
        QStringList after = p.sent().mid(before);
        QCOMPARE(after.join(','), sentAfter);
        QVERIFY(p.rig.view.messages.isEmpty());
        QCOMPARE(p.rig.engine.holder(), nullptr);
        if (fault == "refused") {
            QVERIFY(r.interruptions.isEmpty());
            QVERIFY(p.html().contains("Step 2 could not be shown: TMIX: Error!!"));
            return;
        }
        QCOMPARE(r.interruptions.size(), 1);
        QCOMPARE(r.interruptions[0].step, 1);
        QCOMPARE(r.interruptions[0].pausedMs >= 0, then == "retry");
        QVERIFY(p.html().contains("<h2>Interruptions</h2>"));
        if (then == "wait")
            QVERIFY2(p.csv()[1].contains("no Retry within 10 minutes"), qPrintable(p.csv()[1]));
    }

    // A results store that does not take a verdict: the step stays on, the verdict is not
    // taken until it is written (Retry), and a store that cannot take the run's row keeps the
    // run from starting.
    void verdictWaitsForTheStore() {
        struct Journal : RunJournal {
            bool refuse = false;
            int judged = 0;
            bool say(QString& e) {
                e = "results.sqlite: disk full";
                return !refuse;
            }
            bool runStarted(const RunRecord&, QString& e) override { return say(e); }
            bool stepJudged(const RunRecord&, int, QString& e) override {
                judged += refuse ? 0 : 1;
                return say(e);
            }
            bool runPaused(const RunRecord&, QString& e) override { return say(e); }
            bool runEnded(const RunRecord&, QString& e) override { return say(e); }
            bool reportWritten(const RunRecord&, QString& e) override { return say(e); }
        } journal;
        PlanRig p;
        p.runner.setJournal(&journal);
        QVERIFY(p.start("10 1 judge White\nsame 2 judge Blue\n", "SN-7"));
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        journal.refuse = true;
        QVERIFY(p.runner.pass());
        QCOMPARE(p.runner.state(), PlanRunner::State::Paused);
        QCOMPARE(p.runner.pauseCause(), PlanRunner::PauseCause::Store);
        QVERIFY(p.runner.pauseText().contains("results.sqlite: disk full"));
        QCOMPARE(p.runner.record().steps[0].verdict, RunRecord::StepVerdict::None);
        QString why;
        QVERIFY(!p.runner.retry(why) && p.runner.state() == PlanRunner::State::Paused);
        const int sent = int(p.model.exchanges.size());
        journal.refuse = false;
        QVERIFY(p.runner.retry(why));
        QCOMPARE(p.runner.record().steps[0].verdict, RunRecord::StepVerdict::Pass);
        QCOMPARE(p.settle(), PlanRunner::State::Judging);
        QCOMPARE(p.runner.currentStep(), 1);
        QCOMPARE(int(p.model.exchanges.size()), sent + 1);  // the next step's pattern only
        QCOMPARE(journal.judged, 1);
        p.runner.stop(RunRecord::End::Stopped);
        journal.refuse = true;
        QVERIFY(!p.start("10 1 judge White\n", "SN-8"));
        QCOMPARE(p.rig.engine.holder(), nullptr);
    }

    // Refused before anything is sent while the generator is absent; a report that cannot be
    // written says so.
    void refusedWhenAbsent() {
        PlanRig p;
        p.rig.engine.ShowDeviceAbsent();
        QString why;
        Plan plan;
        QVERIFY(PlanFile::parse(Head + "1 1 judge x\n", plan, why));
        QVERIFY(!p.runner.start(plan, RunSetup{"SN-3", "", "", "", p.dir.path(), 1, {}, false, {}},
                                why));
        QVERIFY(why.contains("not connected"));
        QString path;
        QVERIFY(!RunReport::write(p.runner.record(), p.dir.filePath("gone"), path, why));
        QVERIFY(path.isEmpty() && why.contains("gone: no such folder"));
    }

    // Closing the window in the middle: a report that says stopped and what was judged.
    void stoppedRunIsReported() {
        PlanRig p;
        QVERIFY(p.start("10 1 judge White\nsame 2 judge Blue\nsame 3 judge Red\n", "SN-4"));
        p.settle();
        p.runner.pass();
        p.loop.runUntil(p.rig.clock.now + 200);  // the pattern is still on its way
        QCOMPARE(p.runner.state(), PlanRunner::State::Sending);
        QVERIFY(!p.runner.pass() && !p.runner.back());
        p.runner.stop(RunRecord::End::WindowClosed);
        QCOMPARE(p.rig.engine.holder(), nullptr);
        const QString html = p.html();
        QVERIFY(html.contains("<div class=\"verdict STOPPED\">STOPPED</div>"));
        QVERIFY(
            html.contains("stopped: the Test Plan window was closed during step 2; "
                          "1 of 3 steps done"));
        QVERIFY(html.contains("<td>pass</td>") && html.contains("<td>stopped here</td>") &&
                html.contains("<td>not reached</td>"));
    }
};

QTEST_MAIN(TestPlan)
#include "test_plan.moc"
