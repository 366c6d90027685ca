#include <QDir>

#include "ui/ManualPlace.h"

QString ManualPlace::describe(const QString& programDir) {
    // The installer and the zip put the README beside the programs.
    return QDir::toNativeSeparators(programDir + QStringLiteral("/README.txt"));
}
