#include <QDir>

#include "ui/ManualPlace.h"

QString ManualPlace::describe(const QString& programDir) {
    // An install under any prefix (the package's /usr, ~/.local) keeps the docs in
    // PREFIX/share/doc/orve1 beside PREFIX/bin; a program that was not installed names the
    // package's folder.
    const QDir docs(programDir + QStringLiteral("/../share/doc/orve1"));
    const QString folder =
        docs.exists() ? docs.canonicalPath() : QStringLiteral("/usr/share/doc/orve1");
    return QStringLiteral("orve1(1), %1/").arg(folder);
}
