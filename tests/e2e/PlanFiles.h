#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include "TestFiles.h"

// What the test plan runs of the end-to-end tests share: a plan, and what a run leaves.
const QByteArray ThreeSteps =
    "name: Three steps\nreports: .\n10 1 judge White: no dead pixels\n"
    "same 15 judge Gray-16: no banding\n28 13 1s 1080i bar\n";

// The file's lines (its last, after the final line feed, empty).
inline QStringList lines(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n') : QStringList();
}

// The HTML reports in dir, by name.
inline QStringList reports(const QString& dir) {
    return QDir(dir).entryList({"*.html"}, QDir::Files, QDir::Name);
}
