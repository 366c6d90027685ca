#pragma once

#include <QList>
#include <QWidget>
#include <functional>
#include <memory>

#include "results/ResultsQuery.h"
#include "resultsui/TResultsSerialView.h"
#include "resultsui/TResultsYieldView.h"

class ChartView;
class ElidedLabel;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QTableWidget;
class QTabWidget;
class QTimer;
class QVBoxLayout;
class ResultsStore;
class RunsTableModel;
class TMainForm;

// Output > Results...: what a line's results store says, for the operator and the quality
// engineer. The store (a results.sqlite file, or a folder holding one) is opened read-only and
// never created. Three views: Serial (every plan run and EDID unit of a scanned serial, newest
// first, each with its report: TResultsSerialView), Runs (the runs of a date range and filters,
// a page at a time, however many there are) and Yield (first-pass and final yield per plan and
// day or week, the failure Paretos by step and by defect code, and the HTML summary of all of
// it: TResultsYieldView); one filter bar serves Runs and Yield. Queries that
// fail say so in the status line; only what the operator asked for (opening a store, saving a
// summary) answers with a box, the window's own. Non-modal, made on first use and only hidden
// when closed.
class TResultsForm : public QWidget {
    Q_OBJECT
public:
    static const QString Caption;
    // Fits a 1366 x 768 screen, frame included, above a taskbar.
    static constexpr int FormWidth = 1100;
    static constexpr int FormHeight = 700;
    static constexpr int DefaultDays = 30;  // the runs and yield of the last 30 days
    enum Tab { SerialTab, RunsTab, YieldTab };
    // Shows a file dialog; the chosen path, or empty on cancel. Tests replace it.
    using FileDialogHook =
        std::function<QString(bool save, const QString& title, const QString& filter)>;

    TResultsForm(TMainForm& main, QWidget* parent = nullptr);
    ~TResultsForm() override;

    // Opens the store at location (a file, a folder holding results.sqlite, later a server's
    // URL) for reading and shows it. False after a message naming the store and the reason; the
    // store shown before stays.
    bool openStore(const QString& location);
    // Another window's store: put in the field and opened.
    void showStore(const QString& location);
    bool isOpen() const { return bool(query_); }
    // The serial's records in the Serial tab; false when no store is open or the query failed.
    bool showSerial(const QString& serial);
    // The runs table, its choices and the yield asked again with the filters as they stand.
    void applyFilters();
    ResultsFilter filter() const;
    // The yield tab's figures and charts as an HTML page; false after a message.
    bool saveSummary(const QString& path);

    void OpenClick();
    void SaveSummaryClick();

    // Opens a report or a log with the desktop's program for it; tests replace it.
    std::function<bool(const QString& path)> openReport;
    void setFileDialogHook(FileDialogHook hook) { fileDialogHook_ = std::move(hook); }

    TResultsSerialView& serialView() const { return *Serial_; }
    TResultsYieldView& yieldView() const { return *Yield_; }
    QLineEdit* StoreField() const { return StoreField_; }
    QTabWidget* Tabs() const { return Tabs_; }
    QLineEdit* SerialEdit() const { return Serial_->SerialEdit(); }
    QLabel* HistoryNote() const { return Serial_->HistoryNote(); }
    QTableWidget* HistoryTable() const { return Serial_->HistoryTable(); }
    QDateEdit* FromDate() const { return FromDate_; }
    QDateEdit* UntilDate() const { return UntilDate_; }
    QComboBox* PlanBox() const { return PlanBox_; }
    QComboBox* StationBox() const { return StationBox_; }
    QComboBox* OperatorBox() const { return OperatorBox_; }
    QComboBox* VerdictBox() const { return VerdictBox_; }
    QLabel* RunCount() const { return RunCount_; }
    QTableView* RunsTable() const { return RunsTable_; }
    RunsTableModel& runsModel() const { return *runsModel_; }
    QRadioButton* ByWeek() const { return Yield_->ByWeek(); }
    QLabel* YieldTotals() const { return Yield_->YieldTotals(); }
    QTableWidget* YieldTable() const { return Yield_->YieldTable(); }
    ChartView* YieldChart() const { return Yield_->YieldChart(); }
    ChartView* ParetoChart() const { return Yield_->ParetoChart(); }
    ChartView* DefectChart() const { return Yield_->DefectChart(); }
    QPushButton* SaveSummaryButton() const { return Yield_->SaveSummaryButton(); }
    ElidedLabel* StatusLine() const { return StatusLine_; }

protected:
    void showEvent(QShowEvent* event) override;
    // Enter on a run opens its report, as a double-click does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeRunsTab();
    QWidget* makeFilterBar();
    QString chooseFile(bool save, const QString& title, const QString& filter);
    void status(const QString& text, bool problem = false);
    // False, after the status line says so, when no store is open.
    bool haveStore();
    void fillChoices();
    void refreshRuns();
    // False, after the status line says why, when the yield could not be read.
    bool refreshYield();
    void tabShown(int index);
    // The filters asked again only when they say something else than those applied.
    void filtersChanged();
    void openReportAt(const QString& path, bool unit);

    TMainForm& main_;
    std::unique_ptr<ResultsStore> store_;
    std::unique_ptr<ResultsQuery> query_;
    ResultsFilter applied_;
    QString choicesSince_, choicesUntil_;  // the days the filter choices were read for
    FileDialogHook fileDialogHook_;

    QLineEdit* StoreField_;
    QTabWidget* Tabs_;
    TResultsSerialView* Serial_;
    TResultsYieldView* Yield_;
    QVBoxLayout* runsLayout_;
    QWidget* FilterBar_;
    QDateEdit* FromDate_;
    QDateEdit* UntilDate_;
    QComboBox* PlanBox_;
    QComboBox* StationBox_;
    QComboBox* OperatorBox_;
    QComboBox* VerdictBox_;
    QTimer* filterTimer_;
    QTimer* choicesTimer_;
    QLabel* RunCount_;
    QTableView* RunsTable_;
    RunsTableModel* runsModel_;
    ElidedLabel* StatusLine_;
};
