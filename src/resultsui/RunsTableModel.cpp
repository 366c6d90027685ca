#include "resultsui/RunsTableModel.h"

#include <QColor>

#include "results/ResultsText.h"
#include "ui/VerdictStyle.h"

RunsTableModel::RunsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

bool RunsTableModel::reset(ResultsQuery* query, const ResultsFilter& filter, QString& error) {
    beginResetModel();
    query_ = query;
    filter_ = filter;
    total_ = 0;
    pages_.clear();
    recent_.clear();
    failed_.clear();
    pagesRead_ = 0;
    const bool ok = !query_ || query_->runCount(filter_, total_, error);
    if (!ok)
        total_ = 0;
    endResetModel();
    return ok;
}

const ResultRow* RunsTableModel::run(int row) const {
    if (!query_ || row < 0 || row >= total_)
        return nullptr;
    const int page = row / PageRows;
    auto found = pages_.find(page);
    if (found == pages_.end()) {
        if (failed_.contains(page))
            return nullptr;
        QList<ResultRow> rows;
        QString error;
        if (!query_->runs(filter_, page * PageRows, PageRows, rows, error)) {
            failed_.insert(page);
            if (onError)
                onError(error);
            return nullptr;
        }
        ++pagesRead_;
        if (recent_.size() >= KeptPages)
            pages_.remove(recent_.takeFirst());
        found = pages_.insert(page, rows);
    } else {
        recent_.removeOne(page);
    }
    recent_.append(page);
    const int at = row % PageRows;
    // Runs added since the count was taken shift the rows; a short last page just ends early.
    return at < found->size() ? &found->at(at) : nullptr;
}

int RunsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(qMin<qint64>(total_, INT_MAX));
}

int RunsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RunsTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ForegroundRole && role != Qt::ToolTipRole)
        return QVariant();
    const ResultRow* r = run(index.row());
    if (!r)
        return QVariant();
    if (role == Qt::ForegroundRole) {
        const QColor colour = VerdictStyle::of(r->verdict);
        return index.column() == Verdict && colour.isValid() ? QVariant(colour) : QVariant();
    }
    switch (index.column()) {
        case Started:
            return ResultsText::time(r->started);
        case Station:
            return r->station;
        case Serial:
            return r->serial;
        case Operator:
            return r->operatorName;
        case Plan:
            return r->plan;
        case Verdict:
            return role == Qt::ToolTipRole ? r->endText : ResultsText::verdictAndEnd(*r);
        case Failed:
            return ResultsText::failed(*r);
        default:
            return QVariant();
    }
}

QVariant RunsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    // Columns: heading, in the order of Column.
    static constexpr const char* Headings[] = {"Started", "Station", "Serial",      "Operator",
                                               "Plan",    "Verdict", "Failed steps"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(Headings[section])
                                                 : QVariant();
}
