#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <functional>

#include "results/ResultsQuery.h"

// The runs of a filter, newest first, as a table that asks the store only for what is shown:
// the count once, then a page of rows whenever a row outside the pages kept is wanted (the
// last few pages are kept), so that a million runs scroll without delay.
class RunsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Started, Station, Serial, Operator, Plan, Verdict, Failed, ColumnCount };
    static constexpr int PageRows = 200;
    static constexpr int KeptPages = 8;

    explicit RunsTableModel(QObject* parent = nullptr);

    // Asks again with this filter (no query: empty). False with the error, and no rows.
    bool reset(ResultsQuery* query, const ResultsFilter& filter, QString& error);
    qint64 total() const { return total_; }
    // The run on that row, its page fetched if need be; null when that fails.
    const ResultRow* run(int row) const;
    // A page that cannot be read: its error, once per page until the next reset.
    std::function<void(const QString& error)> onError;
    // How many pages were read from the store since the last reset.
    int pagesRead() const { return pagesRead_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    ResultsQuery* query_ = nullptr;
    ResultsFilter filter_;
    qint64 total_ = 0;
    // Filled on demand by run(), which a const data() calls.
    mutable QHash<int, QList<ResultRow>> pages_;
    mutable QList<int> recent_;  // page numbers, most recently used last
    mutable QSet<int> failed_;
    mutable int pagesRead_ = 0;
};
