// Output > Results... over a small store of three serials on two stations: the menu, a scan and
// its reports, the filters, the yield with its charts, the summary, and a file that is no store.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include "GuiRig.h"
#include "ResultsSamples.h"
#include "TestFiles.h"
#include "results/ResultsStore.h"
#include "resultsui/ChartView.h"
#include "resultsui/RunsTableModel.h"
#include "resultsui/TResultsForm.h"
#include "ui/ElidedLabel.h"
#include "ui/VerdictStyle.h"

namespace {

const QDate Day1 = QDate::currentDate().addDays(-2);
const QDate Day2 = QDate::currentDate().addDays(-1);

// A run that ended: verdicts p or f for its first two steps (the third passed), its report in
// folder.
RunRecord makeRun(const QString& serial, const QDateTime& start, const char* verdicts,
                  const QString& station, const QString& folder, const QString& report) {
    RunRecord r = samples::makeRun(serial, start, QString(verdicts) + 'p',
                                   RunRecord::End::Completed, station);
    r.reportFolder = folder;
    r.reportFile = report;
    return r;
}

}  // namespace

class TestResultsWindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<GuiRig> rig_;
    TResultsForm* w_ = nullptr;
    QStringList opened_;

private slots:
    void initTestCase() {
        ResultsStore store;
        QString e;
        const QString f = dir_.path();
        // The store under the home folder: the window shows it as "~/results.sqlite".
        qputenv("HOME", QFile::encodeName(f));
        QVERIFY2(store.open(f, ResultsStore::Access::ReadWrite, e), qPrintable(e));
        RunRecord coded = makeRun("SN-4711", {Day1, {9, 0}}, "pf", "line1", f, "a.html");
        coded.steps[1].defect = "mura";
        for (const RunRecord& r : {
                 coded,
                 makeRun("SN-2", {Day1, {9, 30}}, "pp", "line1", f, "c.html"),
                 makeRun("SN-4711", {Day2, {9, 0}}, "pp", "line2", f, "b.html"),
                 makeRun("SN-3", {Day2, {11, 0}}, "fp", "line2", f, "d.html"),
             })
            QVERIFY2(store.runEnded(r, e), qPrintable(e));
        UnitRecord u;
        u.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        u.started = QDateTime(Day2, {10, 0});
        u.ended = u.started.addSecs(40);
        u.station = "line2";
        u.serial = "SN-4711";
        u.goldenFile = "golden.bin";
        u.verdict = UnitRecord::Verdict::Pass;
        u.logFile = dir_.filePath("units.csv");
        QVERIFY2(store.unitRecorded(u, e), qPrintable(e));
        for (const char* file : {"a.html", "b.html", "c.html", "d.html", "units.csv"})
            writeFile(dir_.filePath(file), "x");

        rig_ = std::make_unique<GuiRig>();
        rig_->menuItem("Results1")->trigger();
        w_ = rig_->windows->Results.get();
        QVERIFY(w_ && w_->isVisible());
        w_->openReport = [this](const QString& path) {
            opened_ << QDir::fromNativeSeparators(path);  // Windows gives its own separators
            return true;
        };
        QTest::keyClicks(w_->StoreField(), f);
        QTest::keyClick(w_->StoreField(), Qt::Key_Return);
        // Windows takes its home folder from the profile, not from HOME, and shows paths whole.
        const QString shown = QDir::homePath() == f
                                  ? QString("~/results.sqlite")
                                  : QDir::toNativeSeparators(f + "/results.sqlite");
        QCOMPARE(w_->StoreField()->text(), shown);
        QVERIFY(w_->openStore(w_->StoreField()->text()));
        QCOMPARE(w_->RunCount()->text(), QString("4 runs"));
    }

    void scanShowsTheRecordsNewestFirst() {
        QTest::keyClicks(w_->SerialEdit(), "SN-4711");
        QTest::keyClick(w_->SerialEdit(), Qt::Key_Return);
        QTableWidget* t = w_->HistoryTable();
        QCOMPARE(t->rowCount(), 3);
        const QStringList kinds = {"EDID unit", "plan run", "plan run"};
        const QStringList verdicts = {"PASS", "PASS", "FAIL"};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(t->item(row, 1)->text(), kinds[row]);
            QCOMPARE(t->item(row, 4)->text(), verdicts[row]);
        }
        QCOMPARE(t->item(2, 4)->foreground().color(), QColor(VerdictStyle::Fail));
        QCOMPARE(t->item(2, 5)->text(), QString("step 2: [mura] note 2"));
        QCOMPARE(w_->HistoryNote()->text(), QString("SN-4711: 2 plan runs and 1 EDID unit, "
                                                    "newest first."));
        QCOMPARE(w_->focusWidget(), w_->SerialEdit());
        QCOMPARE(w_->SerialEdit()->selectedText(), QString("SN-4711"));
        qobject_cast<QPushButton*>(t->cellWidget(2, 6))->click();
        qobject_cast<QPushButton*>(t->cellWidget(0, 6))->click();
        QCOMPARE(opened_, QStringList({dir_.filePath("a.html"), dir_.filePath("units.csv")}));

        QVERIFY(w_->showSerial("SN-9"));
        QCOMPARE(t->rowCount(), 0);
        QCOMPARE(w_->HistoryNote()->text(), QString("No record of SN-9 in this store."));
    }

    // The choices come from the store; each filter narrows the table and its count.
    void filtersNarrowTheRuns() {
        w_->Tabs()->setCurrentIndex(TResultsForm::RunsTab);
        QTRY_VERIFY(w_->StationBox()->findText("line2") > 0);
        QVERIFY(w_->PlanBox()->findText("Incoming") > 0);
        struct Case {
            const char* station;
            int verdict;  // index in the verdict box: 0 any, 1 PASS, 2 FAIL
            const char* count;
        };
        // Columns: station, verdict, the count shown.
        const Case cases[] = {{"line1", 0, "2 runs"},
                              {"", 2, "2 runs"},
                              {"line2", 1, "1 run"},
                              {"line3", 0, "0 runs"},
                              {"", 0, "4 runs"}};
        for (const Case& c : cases) {
            w_->StationBox()->setEditText(c.station);
            w_->VerdictBox()->setCurrentIndex(c.verdict);
            w_->applyFilters();
            QCOMPARE(w_->RunCount()->text(), QString(c.count));
            QCOMPARE(w_->RunsTable()->model()->rowCount(), QString(c.count).split(' ')[0].toInt());
        }
        // One day: its runs, and only its stations to choose.
        w_->FromDate()->setDate(Day2);
        w_->applyFilters();
        QCOMPARE(w_->RunCount()->text(), QString("2 runs"));
        QTRY_COMPARE(w_->StationBox()->count(), 2);  // any, line2
        w_->FromDate()->setDate(Day1.addDays(-30));
        w_->applyFilters();
        // The newest run first; Enter opens its report.
        QCOMPARE(w_->runsModel().run(0)->serial, QString("SN-3"));
        w_->RunsTable()->setCurrentIndex(w_->RunsTable()->model()->index(0, 0));
        QTest::keyClick(w_->RunsTable(), Qt::Key_Return);
        QCOMPARE(opened_.last(), dir_.filePath("d.html"));
    }

    void yieldTableAndCharts() {
        w_->Tabs()->setCurrentIndex(TResultsForm::YieldTab);
        QTableWidget* t = w_->YieldTable();
        QCOMPARE(t->rowCount(), 2);
        // Columns: plan, period, units, first-pass yield, final yield, retests.
        const QStringList rows[] = {
            {"Incoming", Day1.toString(Qt::ISODate), "2", "50.0 %", "100.0 %", "0"},
            {"Incoming", Day2.toString(Qt::ISODate), "1", "0.0 %", "0.0 %", "1"}};
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 6; ++c) QCOMPARE(t->item(r, c)->text(), rows[r][c]);
        for (ChartView* chart : {w_->YieldChart(), w_->ParetoChart(), w_->DefectChart()}) {
            chart->resize(500, 240);
            QVERIFY(!chart->chart().bars.isEmpty());
            const ChartModel::Bar& bar = chart->chart().bars[0];
            // Low in the bar's left half, away from the Pareto's line.
            const QPointF inside(bar.rect.left() + bar.rect.width() / 4,
                                 bar.rect.bottom() - bar.rect.height() / 10);
            const QPoint at = chart->canvasToWidget().map(inside).toPoint();
            QCOMPARE(chart->grab().toImage().pixelColor(at), QColor(ChartModel::SeriesInk[0]));
        }
        QCOMPARE(w_->ParetoChart()->chart().bars.size(), 2);
        QCOMPARE(w_->DefectChart()->chart().bars[1].tip,
                 QString("(no code): 1 failure, 100% of all up to here"));
        int year = 0;
        const int week = Day2.weekNumber(&year);
        w_->ByWeek()->setChecked(true);
        QCOMPARE(t->item(t->rowCount() - 1, 1)->text(),
                 QString("%1-W%2").arg(year).arg(week, 2, 10, QChar('0')));
        w_->ByWeek()->setChecked(false);
    }

    // The runs table's pages: rows across page boundaries in the store's order, a page read
    // only when one of its rows is wanted, and no more pages kept than KeptPages.
    void runsTableReadsPages() {
        QTemporaryDir dir;
        ResultsStore store;
        QString e;
        QVERIFY(store.open(dir.path(), ResultsStore::Access::ReadWrite, e));
        const int pages = RunsTableModel::KeptPages + 2;
        const int n = RunsTableModel::PageRows * (pages - 1) + 50;
        QList<ResultsStore::ImportedRun> runs;
        for (int k = 0; k < n; ++k)
            runs << ResultsStore::ImportedRun{
                makeRun(QString("U%1").arg(k), QDateTime(Day1, {6, 0}).addSecs(k), "pp", "line1",
                        dir.path(), QString()),
                "PASS", 2};
        int added = 0, skipped = 0;
        QVERIFY2(store.importRuns(runs, added, skipped, e), qPrintable(e));
        ResultsQuery q(store);
        RunsTableModel m;
        QVERIFY(m.reset(&q, ResultsFilter(), e));
        QCOMPARE(m.rowCount(), n);
        QCOMPARE(m.pagesRead(), 0);
        for (int page = 0; page < pages; ++page)
            for (int row : {page * RunsTableModel::PageRows,
                            qMin(n, (page + 1) * RunsTableModel::PageRows) - 1})
                QCOMPARE(m.run(row)->serial, QString("U%1").arg(n - 1 - row));
        QCOMPARE(m.pagesRead(), pages);
        QVERIFY(!m.run(n));
        m.run(n - 1);  // kept
        m.run(0);      // let go of, read again
        QCOMPARE(m.pagesRead(), pages + 1);
    }

    void summaryAndAFileThatIsNoStore() {
        const QString page = dir_.filePath("summary.html");
        w_->setFileDialogHook(
            [&](bool save, const QString&, const QString&) { return save ? page : QString(); });
        w_->SaveSummaryButton()->click();
        QCOMPARE(readFile(page).count("<svg"), 3);
        QVERIFY(!w_->saveSummary(dir_.filePath("gone/summary.html")));
        QVERIFY(rig_->details.last().contains("gone"));

        // A range of no day answers nothing, and says why.
        w_->FromDate()->setDate(Day2);
        w_->UntilDate()->setDate(Day1);
        w_->applyFilters();
        QCOMPARE(w_->RunCount()->text(), QString("0 runs"));
        QVERIFY(w_->StatusLine()->fullText().contains("From is after Until"));
        w_->FromDate()->setDate(Day1.addDays(-30));
        w_->UntilDate()->setDate(Day2);
        w_->applyFilters();

        const QString notes = dir_.filePath("notes.sqlite");
        writeFile(notes, "line 3 notes\n");
        QVERIFY(!w_->openStore(notes));
        QVERIFY(rig_->details.last().contains(QDir::toNativeSeparators(notes)));
        QVERIFY(rig_->details.last().contains("not an SQLite database"));
        QCOMPARE(rig_->main().lastBoxOwner(), w_);
        QCOMPARE(readFile(notes), QByteArray("line 3 notes\n"));
        QVERIFY(w_->isOpen() && w_->RunCount()->text() == "4 runs");
    }

    // A report that is not on this disk is said in the status line, not opened; closed, the
    // window is only hidden, and opens again as it was.
    void missingReportAndReopening() {
        QFile::remove(dir_.filePath("b.html"));
        const int before = int(opened_.size());
        w_->showSerial("SN-4711");
        qobject_cast<QPushButton*>(w_->HistoryTable()->cellWidget(1, 6))->click();
        QCOMPARE(opened_.size(), before);
        QVERIFY(w_->StatusLine()->fullText().contains("b.html is not there"));
        w_->close();
        rig_->menuItem("Results1")->trigger();
        QCOMPARE(rig_->windows->Results.get(), w_);
        QVERIFY(w_->isVisible() && w_->HistoryTable()->rowCount() == 3);
    }

    // Every control speaks its name, on every tab.
    void everyControlHasAName() {
        for (int tab : {TResultsForm::SerialTab, TResultsForm::RunsTab, TResultsForm::YieldTab}) {
            w_->Tabs()->setCurrentIndex(tab);
            for (QWidget* c : w_->findChildren<QWidget*>()) {
                // The editors inside a combo box or a date field speak as their owner.
                QWidget* owner = c->parentWidget();
                const bool inner =
                    owner && (owner->inherits("QComboBox") || owner->inherits("QDateEdit"));
                if (c->isVisible() && c->focusPolicy() != Qt::NoFocus && !inner)
                    QVERIFY2(!c->accessibleName().isEmpty(),
                             qPrintable(c->metaObject()->className() + c->objectName()));
            }
        }
    }
};

QTEST_MAIN(TestResultsWindow)
#include "test_results_window.moc"
