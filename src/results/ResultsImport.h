#pragma once

#include <QString>
#include <QStringList>

class ResultsStore;

// Brings the files that earlier versions left into a results store, so that a line's history
// starts complete: the results.csv of a report folder (RunReport) and production logs
// (ProductionLog). A record that is already in the store, recorded live or imported before, is
// skipped.
class ResultsImport {
public:
    struct Outcome {
        int added = 0;
        int skipped = 0;
        QStringList notes;  // lines that could not be read, per file
    };
    // Every file is checked before anything is added: false, nothing added, when one cannot be
    // read or is neither kind (error names it). Each file is then added in one transaction.
    static bool run(ResultsStore& store, const QStringList& files, Outcome& out, QString& error);
};
