#include "resultsui/TResultsSerialView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "results/ResultsText.h"
#include "resultsui/ResultsControls.h"
#include "ui/FormControls.h"
#include "ui/VerdictStyle.h"

namespace {

constexpr int SerialPixels = 18;

enum HistoryColumn { HTime, HKind, HStation, HPlan, HVerdict, HFailed, HReport, HColumns };

}  // namespace

TResultsSerialView::TResultsSerialView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SerialPage"));
    setAccessibleName(QStringLiteral("Serial"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    QLabel* label = FormControls::label(this, "SerialLabel", QStringLiteral("Seri&al:"), QRect());
    SerialEdit_ = new QLineEdit(this);
    SerialEdit_->setObjectName(QStringLiteral("SerialEdit"));
    SerialEdit_->setAccessibleName(QStringLiteral("Serial"));
    SerialEdit_->setToolTip(
        QStringLiteral("Scan the unit's barcode, or type its serial and press Enter"));
    QFont big = SerialEdit_->font();
    big.setPixelSize(SerialPixels);
    SerialEdit_->setFont(big);
    label->setBuddy(SerialEdit_);
    HistoryNote_ = FormControls::label(this, "HistoryNote", QString(), QRect());
    ResultsControls::say(HistoryNote_, QString());
    row->addWidget(label);
    row->addWidget(SerialEdit_, 1);
    row->addWidget(HistoryNote_, 2);
    layout->addLayout(row);
    HistoryTable_ = ResultsControls::table(
        this, "HistoryTable", QStringLiteral("Records of the serial"),
        {QStringLiteral("Time"), QStringLiteral("Kind"), QStringLiteral("Station"),
         QStringLiteral("Plan or golden EDID"), QStringLiteral("Verdict"),
         QStringLiteral("Failed steps or stage"), QStringLiteral("Report")});
    const QFontMetrics fm(HistoryTable_->font());
    const int timeWidth = fm.horizontalAdvance(QStringLiteral("2026-12-08 14:15:03")) + 16;
    // Columns: time, kind, station, plan, verdict; what failed takes the rest, then the report's
    // button.
    const int widths[] = {timeWidth, 80, 100, 200, 90};
    for (int c = 0; c < HFailed; ++c) HistoryTable_->setColumnWidth(c, widths[c]);
    HistoryTable_->horizontalHeader()->setStretchLastSection(false);
    HistoryTable_->horizontalHeader()->setSectionResizeMode(HFailed, QHeaderView::Stretch);
    HistoryTable_->setColumnWidth(HReport, 80);
    layout->addWidget(HistoryTable_, 1);

    connect(HistoryTable_, &QTableWidget::cellDoubleClicked, this,
            [this](int row) { askReport(row); });
    HistoryTable_->installEventFilter(this);
}

bool TResultsSerialView::askReport(int row) {
    if (row < 0 || row >= history_.size())
        return false;
    emit reportAsked(history_[row].report, history_[row].kind == ResultRow::Kind::Unit);
    return true;
}

bool TResultsSerialView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == HistoryTable_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            askReport(HistoryTable_->currentRow()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString TResultsSerialView::takeSerial(const QString& serial) {
    const QString s = serial.trimmed();
    if (SerialEdit_->text().trimmed() != s)
        SerialEdit_->setText(s);
    SerialEdit_->setFocus();
    SerialEdit_->selectAll();
    return s;
}

void TResultsSerialView::clear() {
    history_.clear();
    HistoryTable_->setRowCount(0);
    ResultsControls::say(HistoryNote_, QString());
}

bool TResultsSerialView::showRecords(ResultsQuery& query, const QString& serial, QString& error) {
    QList<ResultRow> rows;
    if (!query.history(serial, rows, error))
        return false;
    history_ = rows;
    HistoryTable_->setRowCount(0);
    HistoryTable_->setRowCount(int(rows.size()));
    int runs = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const ResultRow& r = rows[i];
        const bool unit = r.kind == ResultRow::Kind::Unit;
        runs += unit ? 0 : 1;
        const QString time = ResultsText::time(r.started);
        HistoryTable_->setItem(i, HTime, ResultsControls::cell(time));
        HistoryTable_->setItem(
            i, HKind,
            ResultsControls::cell(unit ? QStringLiteral("EDID unit") : QStringLiteral("plan run")));
        HistoryTable_->setItem(i, HStation, ResultsControls::cell(r.station));
        HistoryTable_->setItem(i, HPlan, ResultsControls::cell(r.plan));
        QTableWidgetItem* verdict = ResultsControls::cell(ResultsText::verdictAndEnd(r));
        const QColor colour = VerdictStyle::of(r.verdict);
        if (colour.isValid())
            verdict->setForeground(colour);
        verdict->setToolTip(r.endText);
        HistoryTable_->setItem(i, HVerdict, verdict);
        QTableWidgetItem* failed = ResultsControls::cell(ResultsText::failed(r));
        failed->setToolTip(failed->text());
        HistoryTable_->setItem(i, HFailed, failed);
        auto* open = new QPushButton(unit ? QStringLiteral("Log") : QStringLiteral("Report"));
        open->setObjectName(QStringLiteral("ReportButton%1").arg(i));
        open->setAccessibleName(
            unit ? QStringLiteral("Open the log of the EDID unit of %1").arg(time)
                 : QStringLiteral("Open the report of the run of %1").arg(time));
        open->setToolTip(r.report.isEmpty() ? QStringLiteral("No report was written") : r.report);
        open->setEnabled(!r.report.isEmpty());
        // A click leaves the focus in Serial, where the next scan goes.
        open->setFocusPolicy(Qt::NoFocus);
        const QString report = r.report;
        connect(open, &QPushButton::clicked, this,
                [this, report, unit] { emit reportAsked(report, unit); });
        HistoryTable_->setCellWidget(i, HReport, open);
    }
    const int units = int(rows.size()) - runs;
    QStringList found;
    if (runs > 0)
        found << ResultsControls::plural(runs, "plan run", "plan runs");
    if (units > 0)
        found << ResultsControls::plural(units, "EDID unit", "EDID units");
    ResultsControls::say(
        HistoryNote_, rows.isEmpty() ? QStringLiteral("No record of %1 in this store.").arg(serial)
                                     : QStringLiteral("%1: %2, newest first.")
                                           .arg(serial, found.join(QLatin1String(" and "))));
    return true;
}
