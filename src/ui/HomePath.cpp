#include "ui/HomePath.h"

#include <QDir>

namespace {

bool homeAbbreviated() {
    return QDir::separator() == QLatin1Char('/') && QDir::homePath().size() > 1;
}

}  // namespace

QString HomePath::shown(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    const QString home = QDir::homePath();
    if (homeAbbreviated() && (clean == home || clean.startsWith(home + QLatin1Char('/'))))
        return QLatin1Char('~') + clean.mid(home.size());
    return QDir::toNativeSeparators(clean);
}

QString HomePath::expanded(const QString& text) {
    if (homeAbbreviated() && (text == QLatin1String("~") || text.startsWith(QLatin1String("~/"))))
        return QDir::homePath() + text.mid(1);
    return text;
}
