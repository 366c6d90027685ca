#pragma once

#include <QList>
#include <QWidget>

#include "results/ResultsQuery.h"
#include "results/ResultsSummary.h"

class ChartView;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QVBoxLayout;

// The Results window's Yield tab: first-pass and final yield per plan and day or week, its
// chart beside the table, and the failure Paretos by step and by defect code below, with the
// button that saves all of it as a summary page. Read when the tab is looked at: until then
// what it shows is stale.
class TResultsYieldView : public QWidget {
    Q_OBJECT
public:
    explicit TResultsYieldView(QWidget* parent = nullptr);

    // The window's filter bar, on top while this tab is shown.
    void holdFilterBar(QWidget* bar);
    ResultsQuery::Period period() const;
    // The figures of filter read from query (none: nothing to show); false after error says
    // why, with empty tables and charts, and still stale.
    bool refresh(ResultsQuery* query, const ResultsFilter& filter, QString& error);
    bool isStale() const { return stale_; }
    // The filters changed while another tab was shown.
    void markStale() { stale_ = true; }
    // The figures as shown, for the summary page; the scope and who wrote it are the window's.
    ResultsSummary::Content summary() const;

    QRadioButton* ByWeek() const { return ByWeek_; }
    QLabel* YieldTotals() const { return YieldTotals_; }
    QTableWidget* YieldTable() const { return YieldTable_; }
    ChartView* YieldChart() const { return YieldChart_; }
    ChartView* ParetoChart() const { return ParetoChart_; }
    ChartView* DefectChart() const { return DefectChart_; }
    QPushButton* SaveSummaryButton() const { return SaveSummaryButton_; }

signals:
    // Day or Week was chosen.
    void periodChanged();

private:
    QList<YieldRow> yield_;
    QList<ParetoRow> pareto_;
    QList<DefectParetoRow> defects_;
    bool stale_ = true;

    QVBoxLayout* layout_;
    QRadioButton* ByDay_;
    QRadioButton* ByWeek_;
    QLabel* YieldTotals_;
    QTableWidget* YieldTable_;
    ChartView* YieldChart_;
    ChartView* ParetoChart_;
    ChartView* DefectChart_;
    QPushButton* SaveSummaryButton_;
};
