#include "production/SerialFormat.h"

#include <QRegularExpression>

QString SerialFormat::problem(const QString& expression) {
    if (expression.isEmpty())
        return QString();
    const QRegularExpression re(expression);
    if (re.isValid())
        return QString();
    return QStringLiteral("'%1' is not a valid regular expression (%2 at character %3)")
        .arg(expression, re.errorString())
        .arg(re.patternErrorOffset() + 1);
}

bool SerialFormat::accepts(const QString& expression, const QString& serial) {
    if (expression.isEmpty())
        return true;
    const QRegularExpression re(expression);
    return re.isValid() && re.match(serial).hasMatch();
}
