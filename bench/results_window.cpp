// The Results window over a store of a million runs (bench_results' store, made once and
// reused): the time from openStore to the first page of the runs table painted (target under
// 300 ms), jumps through the table, a serial's history shown (its query under 50 ms), and the
// yield and Pareto of one month drawn (under 1 s). The windows are orve1's, on DISPLAY or, when
// that is unset, on the offscreen platform.
//     bench_results_window [FOLDER]   (default: bench-results beside the build's bin folder)
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "MillionStore.h"
#include "link/LinkEngine.h"
#include "link/QtSerialLine.h"
#include "link/SteadyClock.h"
#include "results/ResultsQuery.h"
#include "results/ResultsStore.h"
#include "resultsui/ChartView.h"
#include "resultsui/RunsTableModel.h"
#include "resultsui/TResultsForm.h"
#include "ui/AppWindows.h"
#include "ui/TMainForm.h"

namespace {

constexpr int Repeats = 7;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The median and the largest time against the target (none: 0).
void report(const char* what, const std::vector<double>& ms, double target) {
    const double worst = *std::max_element(ms.begin(), ms.end());
    std::printf("%-52s median %8.1f ms  max %8.1f  (n=%d", what, median(ms), worst, int(ms.size()));
    if (target > 0)
        std::printf(", target < %.0f ms: %s)\n", target, worst < target ? "met" : "MISSED");
    else
        std::printf(")\n");
}

// Runs f Repeats times and reports how long it took.
void timed(const char* what, double target, const std::function<void(int)>& f) {
    std::vector<double> ms;
    QElapsedTimer t;
    for (int k = 0; k < Repeats; ++k) {
        t.start();
        f(k);
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    report(what, ms, target);
}

QString serialOf(int k) {
    // Serials of bench_results' store: day, then the unit of that day.
    return QStringLiteral("SN-%1-%2").arg(100 + 37 * k).arg(k * 13, 5, 10, QChar('0'));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : MillionStore::defaultFolder();
    const QString path = MillionStore::ensure(folder);
    if (path.isEmpty())
        return 1;

    QtSerialLine line;
    SteadyClock clock;
    LinkEngine engine(line, clock);
    AppWindows windows(engine);
    windows.MainForm->show();
    QStringList messages;
    windows.MainForm->setMessageHook(
        [&](const QString& text, const QString& detail) { messages << text + ' ' + detail; });
    windows.MainForm->findChild<QAction*>(QStringLiteral("Results1"))->trigger();
    TResultsForm& w = *windows.results();
    app.processEvents();
    // Painted as the event loop paints: the posted events (layouts, updates) first, before any
    // timer due.
    const auto shown = [&](std::initializer_list<QWidget*> widgets) {
        QCoreApplication::sendPostedEvents();
        for (QWidget* widget : widgets) widget->repaint();
    };
    QWidget* runsView = w.RunsTable()->viewport();

    // (1) Opened with the Runs tab showing: the last 30 days (the default), then all two years;
    // the filter choices come after the runs are painted, and the window is idle again then.
    w.Tabs()->setCurrentIndex(TResultsForm::RunsTab);
    const auto opening = [&](const char* first, const char* idle) {
        std::vector<double> shownMs, idleMs;
        QElapsedTimer t;
        for (int k = 0; k < Repeats; ++k) {
            t.start();
            w.openStore(path);
            shown({runsView});
            shownMs.push_back(t.nsecsElapsed() / 1e6);
            app.processEvents();
            idleMs.push_back(t.nsecsElapsed() / 1e6);
        }
        report(first, shownMs, 300);
        report(idle, idleMs, 0);
        std::printf("    (%s; %d pages read; %d plans, %d stations, %d operators to choose)\n",
                    qPrintable(w.RunCount()->text()), w.runsModel().pagesRead(),
                    int(w.PlanBox()->count() - 1), int(w.StationBox()->count() - 1),
                    int(w.OperatorBox()->count() - 1));
    };
    opening("open store: runs of the last 30 days painted",
            "    ... and the filter choices filled");
    w.FromDate()->setDate(QDate(2025, 1, 1));
    w.applyFilters();
    opening("open store: all runs painted", "    ... and the filter choices filled");
    // Scrolling through all of them, and through the runs of one year (whose days are a
    // condition on every run read).
    QScrollBar* bar = w.RunsTable()->verticalScrollBar();
    const auto scrolling = [&](const char* jump, const char* screenful) {
        timed(jump, 300, [&](int k) {
            bar->setValue(int(qint64(bar->maximum()) * (k + 1) / Repeats) - k * 17);
            shown({runsView});
        });
        timed(screenful, 0, [&](int) {
            bar->setValue(bar->value() - bar->pageStep());
            shown({runsView});
        });
    };
    scrolling("all runs: jump to a row never shown, painted",
              "all runs: scroll up a screenful, painted");
    w.FromDate()->setDate(QDate(2025, 12, 7));
    w.UntilDate()->setDate(QDate(2026, 12, 6));
    w.applyFilters();
    std::printf("    (one year: %s)\n", qPrintable(w.RunCount()->text()));
    scrolling("a year's runs: jump to a row never shown, painted",
              "a year's runs: scroll up a screenful, painted");

    // (2) A serial's history: the query alone, and scanned in the window until painted.
    {
        ResultsStore store;
        QString e;
        store.open(path, ResultsStore::Access::ReadOnly, e);
        ResultsQuery q(store);
        QList<ResultRow> rows;
        timed("history of one serial: the query", 50,
              [&](int k) { q.history(serialOf(k), rows, e); });
    }
    timed("history of one serial: scanned, shown", 0, [&](int k) {
        w.showSerial(serialOf(k));
        shown({w.HistoryTable()->viewport()});
    });
    std::printf("    (%d records of %s)\n", w.HistoryTable()->rowCount(),
                qPrintable(serialOf(Repeats - 1)));

    // (3) The Yield tab for one month: the yield, the Pareto, both charts and the table drawn.
    w.Tabs()->setCurrentIndex(TResultsForm::YieldTab);
    w.FromDate()->setDate(QDate(2026, 3, 1));
    w.UntilDate()->setDate(QDate(2026, 3, 31));
    timed("yield and Pareto of one month, drawn", 1000, [&](int) {
        w.applyFilters();
        shown({w.YieldTable()->viewport(), w.YieldChart(), w.ParetoChart()});
    });
    std::printf("    (%d rows of yield, %d Pareto bars)\n", w.YieldTable()->rowCount(),
                int(w.ParetoChart()->chart().bars.size()));
    if (!messages.isEmpty())
        std::printf("messages: %s\n", qPrintable(messages.join(QStringLiteral("; "))));
    return 0;
}
