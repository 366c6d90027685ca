#include "results/ForwarderStatus.h"

QString ForwarderStatus::sentence() const {
    const QString what = waiting() == 0
                             ? QStringLiteral("all on the server")
                             : QStringLiteral("%1 waiting for the server").arg(waiting());
    if (trouble == Trouble::None)
        return QStringLiteral("Results: ") + what;
    // Since the last time the server took something, or since the first attempt failed.
    const QDateTime since = lastContact.isValid() ? lastContact : troubleSince;
    const QString at = since.date() == QDate::currentDate()
                           ? since.toString(QStringLiteral("HH:mm"))
                           : since.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString why = trouble == Trouble::Unreachable || trouble == Trouble::Refused
                            ? QStringLiteral("no connection since %1").arg(at)
                            : QStringLiteral("not taken since %1").arg(at);
    return QStringLiteral("Results: %1 (%2)").arg(what, why);
}
