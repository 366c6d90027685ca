#pragma once

#include <QString>
#include <QStringList>

class QLabel;
class QTableView;
class QTableWidget;
class QTableWidgetItem;
class QWidget;

// The pieces the Results window's tabs are made of alike: tables of records read a row at a
// time, their cells, and labels that speak what they say.
class ResultsControls {
public:
    // A table of records that are looked at, never edited: a whole row selected at a time, no
    // row numbers, the last column taking the rest.
    static void recordsView(QTableView* view, const char* name, const QString& accessible);
    // Such a table, filled cell by cell, its columns headed.
    static QTableWidget* table(QWidget* parent, const char* name, const QString& accessible,
                               const QStringList& headings);
    // A cell to read, not edit; a number is right-aligned.
    static QTableWidgetItem* cell(const QString& text, bool number = false);
    // A label whose accessible name follows what it says (its designer name while it says
    // nothing).
    static void say(QLabel* label, const QString& text);
    // "1 run", "2,400 runs".
    static QString plural(qint64 n, const char* one, const char* many);
};
