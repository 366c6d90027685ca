#pragma once

#include <QByteArray>
#include <QString>

#include "plan/RunRecord.h"

// The two records a run leaves in the report folder: a self-contained HTML page for the unit,
// printable on one or two A4 pages, and one line of the CSV results file that every run in the
// folder appends to.
class RunReport {
public:
    static constexpr const char* ResultsFile = "results.csv";

    // "SN-0042_20261208-141503.html": the serial with every character that cannot stand in a
    // file name on any system replaced by '_', and the start time.
    static QString fileName(const RunRecord& r);
    static QString safeName(const QString& text);

    static QByteArray html(const RunRecord& r);
    static QByteArray csvHeader();
    // One line, ending in a line feed; reportName is the HTML file's name (empty if none).
    static QByteArray csvLine(const RunRecord& r, const QString& reportName);
    // One CSV field, quoted when it must be.
    static QString csvField(const QString& value);

    // Writes the HTML report under a name no file has yet (never over an existing one) and
    // appends the results line. htmlPath is the report written (empty if none); false with
    // error naming what could not be written.
    // Makes the report folder when it is not there yet; false with why when it is no folder
    // this program may write into.
    static bool prepareFolder(const QString& folder, QString& error);
    static bool write(const RunRecord& r, const QString& folder, QString& htmlPath, QString& error);
};
