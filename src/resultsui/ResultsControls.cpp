#include "resultsui/ResultsControls.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <QTableWidget>

void ResultsControls::recordsView(QTableView* view, const char* name, const QString& accessible) {
    view->setObjectName(QLatin1String(name));
    view->setAccessibleName(accessible);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
}

QTableWidget* ResultsControls::table(QWidget* parent, const char* name, const QString& accessible,
                                     const QStringList& headings) {
    auto* t = new QTableWidget(0, int(headings.size()), parent);
    recordsView(t, name, accessible);
    t->setHorizontalHeaderLabels(headings);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
    return t;
}

QTableWidgetItem* ResultsControls::cell(const QString& text, bool number) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

void ResultsControls::say(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleName(text.isEmpty() ? label->objectName() : text);
}

QString ResultsControls::plural(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(n),
                                       QLatin1String(n == 1 ? one : many));
}
