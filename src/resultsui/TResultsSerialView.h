#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include "results/ResultsQuery.h"

class QLabel;
class QLineEdit;
class QTableWidget;

// The Results window's Serial tab: every plan run and EDID unit of a scanned serial, newest
// first, each with its verdict, what failed, and a button for its report or log (Enter on a
// record opens it too). The next scan always goes to the serial field.
class TResultsSerialView : public QWidget {
    Q_OBJECT
public:
    explicit TResultsSerialView(QWidget* parent = nullptr);

    // Puts serial in the field, focused and selected: whatever the answer, the next scan goes
    // there and replaces it. The serial as it is asked for (trimmed).
    QString takeSerial(const QString& serial);
    // The records query finds of serial; false after error says why (the table as it was).
    bool showRecords(ResultsQuery& query, const QString& serial, QString& error);
    // Nothing shown: another store is open.
    void clear();

    QLineEdit* SerialEdit() const { return SerialEdit_; }
    QLabel* HistoryNote() const { return HistoryNote_; }
    QTableWidget* HistoryTable() const { return HistoryTable_; }

signals:
    // A record's report, or an EDID unit's log (unit), is asked for.
    void reportAsked(const QString& path, bool unit);

protected:
    // Enter on a record opens its report, as a double-click does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool askReport(int row);

    QList<ResultRow> history_;
    QLineEdit* SerialEdit_;
    QLabel* HistoryNote_;
    QTableWidget* HistoryTable_;
};
