#include "StageScenes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTimer>
#include <QUuid>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "edid/TEDID_Examiner.h"
#include "link/ComPortMap.h"
#include "link/LinkEngine.h"
#include "pattern/TPattern_List.h"
#include "pattern/TPatterns.h"
#include "plan/PlanFile.h"
#include "plan/PlanRunner.h"
#include "plan/TPlanForm.h"
#include "port/TCOM_PORT_SETTING_FORM.h"
#include "production/TEDID_Production.h"
#include "programme/TProgrammer_Form.h"
#include "results/ResultsStore.h"
#include "resultsui/TResultsForm.h"
#include "timing/TTiming.h"
#include "timing/TTiming_List.h"
#include "timing/TTimings.h"
#include "ui/AppWindows.h"
#include "ui/TLinkMonitor.h"
#include "ui/TMainForm.h"
#include "ui/TStringGrid.h"

namespace {

QElapsedTimer mainClock;

qint64 monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Milliseconds since the kernel started this process; -1 where that is not known.
double msSinceProcessStart() {
#ifdef Q_OS_LINUX
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields[19].toDouble();  // field 22 of the whole line
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double nowMs = boot.tv_sec * 1000.0 + boot.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / sysconf(_SC_CLK_TCK);
#else
    return -1;
#endif
}

long peakRssKb() {
#ifdef Q_OS_LINUX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return -1;
#endif
}

// Reports the first exposure of the main window, after its first paint has gone out.
class ExposeProbe : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && !done_) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) {
                done_ = true;
                QTimer::singleShot(0, this, [] {
                    std::printf(
                        "orve1-startup: shown monotonic_ns=%lld main_ms=%.2f process_ms=%.1f "
                        "peak_rss_kb=%ld\n",
                        static_cast<long long>(monotonicNs()), mainClock.nsecsElapsed() / 1e6,
                        msSinceProcessStart(), peakRssKb());
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
        }
        return false;
    }

private:
    bool done_ = false;
};

// The pattern windows as an operator sees them in use: the pattern window open, the list
// picker with row 13 pressed, the selection dialog with patterns 1, 2 and 5 ticked.
void stagePatternScene(AppWindows& windows, const QString& show) {
    if (show == QLatin1String("PatternForm")) {
        QTimer::singleShot(0, windows.MainForm.get(),
                           [&windows] { windows.MainForm->Pattern1Click(); });
    } else if (show == QLatin1String("Pattern_List")) {
        TPattern_List* list = windows.Pattern_List.get();
        QTimer::singleShot(0, list, [list] {
            list->StringGrid2()->setCurrentCell(0, 13);
            list->StringGrid2MouseDown(Qt::LeftButton);
        });
    } else if (show == QLatin1String("Patterns")) {
        TPatterns* dialog = windows.Patterns.get();
        QTimer::singleShot(0, dialog, [dialog] {
            for (int row : {1, 2, 5}) {
                dialog->StringGrid4()->setCurrentCell(0, row);
                dialog->StringGrid4MouseDown(Qt::LeftButton);
            }
        });
    }
}

// The programme editor as an operator leaves it: three steps, the second chosen with the mouse.
void showProgrammeScene(TProgrammer_Form* form) {
    form->show();
    form->raise();
    form->activateWindow();
    ProgramTable steps;
    // Columns: timing index, pattern index, unit (0 s, 1 min), show time.
    constexpr int Scene[][4] = {{5, 12, 0, 5}, {9, 0, 1, 2}, {29, 26, 0, 30}};
    for (int s = 0; s < 3; ++s) {
        steps.timing[s] = quint8(Scene[s][0]);
        steps.pattern[s] = quint8(Scene[s][1]);
        steps.unit[s] = quint8(Scene[s][2]);
        steps.showTime[s] = Scene[s][3];
    }
    form->loadTable(steps);
    TStringGrid* grid = form->StringGrid5();
    const QPointF at = grid->cellRect(1, 2).center();
    QWidget* viewport = grid->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &release);
}

// Pictures of the timing windows in use: the timing window showing timing 20, the list with a
// highlighted row, the selection dialog with a few marks. False for any other window.
bool showTimingScene(AppWindows& windows, const QString& show) {
    if (show == QLatin1String("Timing")) {
        TMainForm* main = windows.MainForm.get();
        QTimer::singleShot(0, main, [main] {
            main->Timing1Click();
            // From timing 1, nineteen presses of the spinner's down arrow.
            if (auto* timing = main->findChild<TTiming*>()) {
                for (int i = 0; i < 19; ++i) timing->UpDown1()->press(TUpDown::Direction::Down);
            }
        });
        return true;
    }
    if (show == QLatin1String("Timing_List")) {
        TTiming_List* list = windows.Timing_List.get();
        QTimer::singleShot(0, list, [list] {
            list->showList();
            list->StringGrid1()->setCurrentCell(0, 26);
            list->StringGrid1MouseDown();
        });
        return true;
    }
    if (show == QLatin1String("Timings")) {
        TTimings* dialog = windows.Timings.get();
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->show();
            for (int row : {1, 3, 6}) {
                dialog->StringGrid3()->setCurrentCell(0, row);
                dialog->StringGrid3MouseDown();
                dialog->StringGrid3MouseUp();
            }
            dialog->raise();
            dialog->activateWindow();
        });
        return true;
    }
    return false;
}

// The memory editor or the inspector showing the EDID file named by ORVE1_SHOW_EDID, as after
// File > Open.
void stageEdidScene(AppWindows& windows, const QString& show) {
    const QString file = qEnvironmentVariable("ORVE1_SHOW_EDID");
    const bool identity = show == QLatin1String("EDID_Identity");
    const bool edidWindow =
        show == QLatin1String("EDID_Block") || show == QLatin1String("EDID_Examiner") || identity;
    if (edidWindow && !file.isEmpty())
        windows.MainForm->loadEdidFile(file);
    // The inspector's Edit identity... dialog over the inspector.
    if (identity) {
        TEDID_Examiner* examiner = windows.edidExaminer();
        QTimer::singleShot(0, examiner, [examiner] {
            examiner->show();
            examiner->EditIdentityClick();
        });
    }
}

// The Link Monitor over an exchange with the generator on COM 1 (the virtual one): OK of the
// port dialog (the presence query), then Run Timing with timing 6.
void stageMonitorScene(AppWindows& windows, const QString& show) {
    if (show != QLatin1String("LinkMonitor") || !windows.linkMonitor())
        return;
    TMainForm* main = windows.MainForm.get();
    TLinkMonitor* monitor = windows.linkMonitor();
    TCOM_PORT_SETTING_FORM* port = windows.COM_PORT_SETTING_FORM.get();
    QTimer::singleShot(0, monitor, [monitor, port] {
        monitor->showMonitor();
        port->Button1Click();
    });
    QTimer::singleShot(1500, monitor, [main, monitor] {
        main->Timing1Click();
        if (auto* timing = main->findChild<TTiming*>()) {
            for (int i = 0; i < 5; ++i) timing->UpDown1()->press(TUpDown::Direction::Down);
            timing->Run_TimingClick();
        }
        monitor->raise();
        monitor->activateWindow();
    });
}

// The Test Plan window with the plan file named by ORVE1_SHOW_PLAN: PlanForm on its Plan tab;
// PlanForm_run in the middle of a run for unit SN-0042 on the generator on COM 1 (the virtual
// one), its first step passed and the second shown, reports in ORVE1_SHOW_REPORTS.
void stagePlanScene(AppWindows& windows, const QString& show) {
    if (show != QLatin1String("PlanForm") && show != QLatin1String("PlanForm_run"))
        return;
    TPlanForm* form = windows.testPlan();
    TCOM_PORT_SETTING_FORM* port = windows.COM_PORT_SETTING_FORM.get();
    const bool run = show == QLatin1String("PlanForm_run");
    QTimer::singleShot(0, form, [form, port, run] {
        form->show();
        form->raise();
        form->activateWindow();
        const QString file = qEnvironmentVariable("ORVE1_SHOW_PLAN");
        if (!file.isEmpty())
            form->loadFile(file);
        form->StepGrid()->setCurrentCell(1, 2);
        // Loading opens the Run tab; the picture of the plan is the Plan tab's.
        if (!run) {
            form->Tabs()->setCurrentIndex(0);
            return;
        }
        port->Button1Click();
        form->OperatorName()->setText(QStringLiteral("A. Operator"));
        form->runView().setReportFolder(qEnvironmentVariable("ORVE1_SHOW_REPORTS"));
        form->Serial()->setText(QStringLiteral("SN-0042"));
    });
    if (!run)
        return;
    QTimer::singleShot(1500, form, [form] { form->runView().StartButtonClick(); });
    // Step 1 is passed with the mouse by whoever takes the picture (scripts/screenshot clicks
    // there with xdotool), as an operator would: the picture shows where the focus is after it.
    QTimer::singleShot(3500, form, [form] {
        QPushButton* pass = form->PassButton();
        const QPoint centre = pass->mapToGlobal(pass->rect().center());
        QFile where(qEnvironmentVariable("ORVE1_SHOW_REPORTS") + QStringLiteral("/pass-button"));
        if (where.open(QIODevice::WriteOnly))
            where.write(QByteArray::number(centre.x()) + ' ' + QByteArray::number(centre.y()) +
                        '\n');
    });
}

// A station (orve1-stage --station PLAN, the plan of ORVE1_SHOW_PLAN) with the defect codes
// open: unit SN-0042 started at 1.5 s on the generator the station connected, its first step
// passed at 4 s, the second failed at 6.5 s with a code picked and a note typed, not yet entered.
void stageStationScene(AppWindows& windows, const QString& show) {
    TPlanForm* form = windows.TestPlan.get();
    if (show != QLatin1String("PlanForm_station") || !form)
        return;
    QTimer::singleShot(1500, form, [form] {
        form->Serial()->setText(QStringLiteral("SN-0042"));
        form->runView().StartButtonClick();
    });
    QTimer::singleShot(4000, form, [form] { form->PassButton()->click(); });
    QTimer::singleShot(6500, form, [form] {
        form->runView().FailButtonClick();
        form->runView().DefectList()->setCurrentRow(3);
        form->FailNote()->setText(QStringLiteral("light along the lower left edge"));
    });
}

// The production window ready for its first unit: the golden EDID of ORVE1_SHOW_EDID and the
// log ORVE1_SHOW_LOG (else one in the runtime folder). With EDID_Production_unit it connects
// COM 1 (the virtual generator) and programs the unit SN-0001, to be pictured when its result
// shows (about 40 s).
void stageProductionScene(AppWindows& windows, const QString& show) {
    if (!show.startsWith(QLatin1String("EDID_Production")))
        return;
    TMainForm* main = windows.MainForm.get();
    TCOM_PORT_SETTING_FORM* port = windows.COM_PORT_SETTING_FORM.get();
    const bool unit = show == QLatin1String("EDID_Production_unit");
    QTimer::singleShot(0, main, [&windows, main, port, unit] {
        main->EDID_ProductionClick();
        TEDID_Production* production = windows.EDID_Production.get();
        production->openGolden(qEnvironmentVariable("ORVE1_SHOW_EDID"));
        QString log = qEnvironmentVariable("ORVE1_SHOW_LOG");
        if (log.isEmpty()) {
            ComPortMap::ensureRuntimeDir();
            log = ComPortMap::runtimeDir() + QStringLiteral("/production-log.csv");
        }
        production->chooseLog(log);
        if (!unit)
            return;
        port->Button1Click();
        QTimer::singleShot(1500, production, [production] {
            production->SerialEdit()->setText(QStringLiteral("SN-0001"));
            production->ProgramClick();
        });
    });
}

// A line's last five days in a results store: two plans on three stations, each unit through
// both, a few steps failing (the first ones most, most with a defect code, the first codes
// most) and failed units tested again.
bool makeResultsStore(const QString& folder) {
    ResultsStore store;
    QString error;
    if (!QDir().mkpath(folder) || !store.open(folder, ResultsStore::Access::ReadWrite, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    // Columns: the plan's text, the share of first runs that fail (%), units a day.
    constexpr struct {
        const char* text;
        int failPercent;
        int units;
    } plans[] = {
        {"name: Incoming inspection\ndefects: dead pixel, mura, banding, flicker\n"
         "10 1 judge White field: no dead pixels\n"
         "same 8 judge Black field: no bright pixels\nsame 15 judge Gray-16: sixteen clean steps\n"
         "same 5 judge Colour bar: eight bars in order\n20 5 judge 1080i: no flicker\n"
         "same 22 judge Grid: straight lines\n",
         14, 36},
        {"name: Final check\ndefects: dead pixel, mura, banding, flicker\n"
         "10 1 judge Logo and label\nsame 5 judge Colour bar at full "
         "brightness\n6 15 judge Gray-16 at 720p\n",
         7, 32},
    };
    const char* const operators[] = {"Ann", "Ben", "Chris"};
    QRandomGenerator random(4711);
    const QDate today = QDate::currentDate();
    for (int day = 0; day < 5; ++day) {
        const QDate date = today.addDays(day - 4);
        for (const auto& p : plans) {
            RunRecord r;
            PlanFile::parse(p.text, r.plan, error);
            r.planText = p.text;
            r.planDigest = PlanFile::digest(r.planText);
            r.planFile =
                QStringLiteral("plans/%1.txt").arg(r.plan.name.toLower().replace(' ', '-'));
            r.version = QStringLiteral("1.0.0");
            r.port = QStringLiteral("COM 1");
            r.reportFolder = QDir(folder).filePath(QStringLiteral("reports"));
            QDateTime at(date, QTime(7, 0));
            for (int u = 0; u < p.units; ++u) {
                r.serial = QStringLiteral("SN-%1").arg(4000 + day * 100 + u);
                r.station = QStringLiteral("line%1").arg(1 + u % 3);
                r.operatorName = QString::fromLatin1(operators[u % 3]);
                for (int attempt = 0; attempt < 3; ++attempt) {
                    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
                    r.steps = QList<RunRecord::Step>(r.plan.steps.size());
                    const int chance = attempt ? 20 : p.failPercent;
                    const int n = int(r.steps.size());
                    const int failed = int(random.bounded(100)) < chance
                                           ? qMin(int(random.bounded(n)), int(random.bounded(n)))
                                           : -1;
                    for (int k = 0; k < n; ++k) {
                        r.steps[k].verdict = k == failed ? RunRecord::StepVerdict::Fail
                                                         : RunRecord::StepVerdict::Pass;
                        r.steps[k].ms = 3000 + 400 * k;
                    }
                    if (failed >= 0) {
                        r.steps[failed].note = QStringLiteral("seen by %1").arg(r.operatorName);
                        // One in six goes without a code.
                        if (random.bounded(6) > 0)
                            r.steps[failed].defect =
                                r.plan
                                    .defects[qMin(int(random.bounded(4)), int(random.bounded(4)))];
                    }
                    r.started = at;
                    r.ended = at.addSecs(40 + 4 * n);
                    r.reportFile = r.serial + at.toString(QStringLiteral("_yyyyMMdd-HHmmss")) +
                                   QStringLiteral(".html");
                    at = at.addSecs(300);
                    if (!store.runEnded(r, error)) {
                        std::fprintf(stderr, "%s\n", qPrintable(error));
                        return false;
                    }
                    if (failed < 0)
                        break;
                }
            }
        }
    }
    return true;
}

// The Results window on the store in ORVE1_SHOW_RESULTS (made there first when it holds none):
// ResultsForm shows the Yield tab, ResultsForm_runs the Runs tab, ResultsForm_serial the
// records of unit SN-4432.
void stageResultsScene(AppWindows& windows, const QString& show) {
    if (!show.startsWith(QLatin1String("ResultsForm")))
        return;
    const QString folder = qEnvironmentVariable("ORVE1_SHOW_RESULTS");
    if (folder.isEmpty() || (!QFile::exists(QDir(folder).filePath(ResultsStore::DefaultFileName)) &&
                             !makeResultsStore(folder)))
        return;
    TMainForm* main = windows.MainForm.get();
    QTimer::singleShot(0, main, [&windows, main, folder, show] {
        main->Results1Click();
        TResultsForm* form = windows.results();
        form->showStore(folder);
        if (show.endsWith(QLatin1String("_serial")))
            form->showSerial(QStringLiteral("SN-4432"));
        else
            form->Tabs()->setCurrentIndex(show.endsWith(QLatin1String("_runs"))
                                              ? TResultsForm::RunsTab
                                              : TResultsForm::YieldTab);
    });
}

}  // namespace

void StageScenes::markMainStart() {
    mainClock.start();
}

void StageScenes::install(AppWindows& windows) {
    if (qEnvironmentVariableIntValue("ORVE1_EXIT_AFTER_SHOW") == 1) {
        QWindow* handle = windows.MainForm->windowHandle();
        if (handle)
            handle->installEventFilter(new ExposeProbe(windows.MainForm.get()));
    }
    const QString show = qEnvironmentVariable("ORVE1_SHOW");
    // A staged window needs the windows made now; the start-up benchmark does not.
    if (!show.isEmpty())
        windows.ready();
    if (show == QLatin1String("Programmer_Form_steps")) {
        TProgrammer_Form* form = windows.Programmer_Form.get();
        QTimer::singleShot(0, form, [form] { showProgrammeScene(form); });
    }
    if (!show.isEmpty() && !showTimingScene(windows, show)) {
        for (QWidget* w : windows.all() + windows.tools()) {
            if (w->objectName() != show || w == windows.MainForm.get())
                continue;
            QTimer::singleShot(0, w, [w] {
                w->show();
                w->raise();
                w->activateWindow();
            });
        }
        stagePatternScene(windows, show);
        stageEdidScene(windows, show);
        stageMonitorScene(windows, show);
        stagePlanScene(windows, show);
        stageStationScene(windows, show);
        stageProductionScene(windows, show);
        stageResultsScene(windows, show);
    }
}
