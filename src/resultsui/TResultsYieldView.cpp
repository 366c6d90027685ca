#include "resultsui/TResultsYieldView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "resultsui/ChartView.h"
#include "resultsui/ResultsControls.h"
#include "ui/FormControls.h"

namespace {

enum YieldColumn { YPlan, YPeriod, YUnits, YFirstPass, YFinal, YRetests, YColumns };

QString percent(int part, int whole) {
    return whole ? QString::number(100.0 * part / whole, 'f', 1) + QStringLiteral(" %")
                 : QStringLiteral("-");
}

}  // namespace

TResultsYieldView::TResultsYieldView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("YieldPage"));
    setAccessibleName(QStringLiteral("Yield"));
    layout_ = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(FormControls::label(this, "PerLabel", QStringLiteral("Per:"), QRect()));
    ByDay_ = new QRadioButton(QStringLiteral("&Day"), this);
    ByDay_->setObjectName(QStringLiteral("ByDay"));
    ByDay_->setAccessibleName(QStringLiteral("Per day"));
    ByDay_->setChecked(true);
    ByWeek_ = new QRadioButton(QStringLiteral("&Week"), this);
    ByWeek_->setObjectName(QStringLiteral("ByWeek"));
    ByWeek_->setAccessibleName(QStringLiteral("Per week"));
    YieldTotals_ = FormControls::label(this, "YieldTotals", QString(), QRect());
    ResultsControls::say(YieldTotals_, QString());
    SaveSummaryButton_ =
        FormControls::button(this, "SaveSummaryButton", QStringLiteral("Save summary..."), QRect());
    SaveSummaryButton_->setToolTip(
        QStringLiteral("Write these tables and charts as one HTML page, for a report or e-mail"));
    row->addWidget(ByDay_);
    row->addWidget(ByWeek_);
    row->addSpacing(16);
    row->addWidget(YieldTotals_, 1);
    row->addWidget(SaveSummaryButton_);
    layout_->addLayout(row);

    YieldTable_ =
        ResultsControls::table(this, "YieldTable", QStringLiteral("Yield per plan and period"),
                               {QStringLiteral("Plan"), QStringLiteral("Period"),
                                QStringLiteral("Units"), QStringLiteral("First-pass yield"),
                                QStringLiteral("Final yield"), QStringLiteral("Retests")});
    // Pixels: plan, period, units, first pass, final, and the retests at least (it takes the
    // rest).
    const int widths[] = {140, 84, 55, 105, 84, 64};
    for (int c = 0; c < YColumns; ++c) YieldTable_->setColumnWidth(c, widths[c]);
    YieldChart_ = new ChartView(this, "YieldChart");
    ParetoChart_ = new ChartView(this, "ParetoChart");
    DefectChart_ = new ChartView(this, "DefectChart");
    // The yield beside its table, the two Paretos side by side below: three charts in a row
    // would each be too narrow to read on a line-side screen.
    auto* top = new QSplitter(Qt::Horizontal);
    top->setObjectName(QStringLiteral("YieldTableSplitter"));
    top->setAccessibleName(QStringLiteral("Yield table and chart"));
    top->addWidget(YieldTable_);
    top->addWidget(YieldChart_);
    // The table whole (its columns' widths and the retests), the chart in the rest.
    top->setStretchFactor(0, 11);
    top->setStretchFactor(1, 9);
    top->setSizes({1100, 900});
    auto* charts = new QSplitter(Qt::Horizontal);
    charts->setObjectName(QStringLiteral("ChartSplitter"));
    charts->setAccessibleName(QStringLiteral("Failure charts"));
    charts->addWidget(ParetoChart_);
    charts->addWidget(DefectChart_);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("YieldSplitter"));
    split->setAccessibleName(QStringLiteral("Yield table and charts"));
    split->addWidget(top);
    split->addWidget(charts);
    layout_->addWidget(split, 1);

    connect(ByWeek_, &QRadioButton::toggled, this, &TResultsYieldView::periodChanged);
}

void TResultsYieldView::holdFilterBar(QWidget* bar) {
    layout_->insertWidget(0, bar);
}

ResultsQuery::Period TResultsYieldView::period() const {
    return ByWeek_->isChecked() ? ResultsQuery::Period::Week : ResultsQuery::Period::Day;
}

bool TResultsYieldView::refresh(ResultsQuery* query, const ResultsFilter& filter, QString& error) {
    stale_ = false;
    const ResultsQuery::Period by = period();
    bool ok = query && query->yield(filter, by, yield_, error) &&
              query->pareto(filter, pareto_, error) &&
              query->paretoDefects(filter, defects_, error);
    if (!ok) {
        yield_.clear();
        pareto_.clear();
        defects_.clear();
        stale_ = true;
    }
    YieldTable_->setRowCount(0);
    YieldTable_->setRowCount(int(yield_.size()));
    for (int i = 0; i < yield_.size(); ++i) {
        const YieldRow& y = yield_[i];
        const QString figures[] = {y.plan,
                                   y.period,
                                   QString::number(y.units),
                                   percent(y.firstPass, y.units),
                                   percent(y.finalPass, y.units),
                                   QString::number(y.retests())};
        for (int c = 0; c < YColumns; ++c)
            YieldTable_->setItem(i, c, ResultsControls::cell(figures[c], c >= YUnits));
    }
    ResultsControls::say(YieldTotals_, ok ? ResultsSummary::totals(yield_) : QString());
    YieldChart_->setChart(ResultsSummary::yieldChart(yield_, by));
    ParetoChart_->setChart(ResultsSummary::paretoChart(pareto_));
    DefectChart_->setChart(ResultsSummary::defectChart(defects_));
    return ok;
}

ResultsSummary::Content TResultsYieldView::summary() const {
    ResultsSummary::Content c;
    c.by = period();
    c.yield = yield_;
    c.pareto = pareto_;
    c.defects = defects_;
    return c;
}
