#pragma once

#include <QList>
#include <QString>

#include "programme/ProgramTable.h"

// The programme as a small text file, shared by the editor's Load and Save and by
// "orve1ctl programme FILE". One step a line, in the editor's order:
//
//     TIMING PATTERN UNIT TIME     e.g. "6 13 s 5" or "1 1 m 2"
//
// TIMING 1..35 and PATTERN 1..39 are numbers as the operator sees them (index + 1), UNIT is
// s or m, TIME a whole number (only 1..59 is sent). "-" stands for a field that is empty.
// Blank lines and everything after '#' are ignored.
class ProgramFile {
public:
    // Larger files are refused unread: a programme is a few hundred bytes.
    static constexpr qint64 MaxFileBytes = 64 * 1024;
    static constexpr const char* EmptyField = "-";

    // Fills table from the front with the file's steps (the rest empty). On success
    // stepLines (when given) receives the 1-based line of each step. On failure: false, the
    // table untouched, and error = "line N: what is wrong".
    static bool read(const QString& text, ProgramTable& table, QString& error,
                     QList<int>* stepLines = nullptr);
    // The steps with any field set, in order, under one comment line.
    static QString write(const ProgramTable& table);

    // The same on a file; error names what went wrong (without the path).
    static bool load(const QString& path, ProgramTable& table, QString& error,
                     QList<int>* stepLines = nullptr);
    // Written in full or not at all: an existing file is replaced only on success.
    static bool save(const QString& path, const ProgramTable& table, QString& error);
};
