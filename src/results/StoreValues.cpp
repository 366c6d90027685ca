#include "results/StoreValues.h"

StoreValues::Moment StoreValues::moment(const QDateTime& t) {
    Moment m;
    m.utc = t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    const QDateTime local = t.toOffsetFromUtc(t.offsetFromUtc());
    m.local = local.toString(Qt::ISODate);
    m.day = local.date().toString(QStringLiteral("yyyy-MM-dd"));
    int year = 0;
    const int week = local.date().weekNumber(&year);
    m.week = QStringLiteral("%1-W%2")
                 .arg(year, 4, 10, QLatin1Char('0'))
                 .arg(week, 2, 10, QLatin1Char('0'));
    return m;
}

QVariant StoreValues::text(const QString& s) {
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

QVariant StoreValues::nullText() {
    return QVariant(QMetaType::fromType<QString>());
}

QVariant StoreValues::nullNumber() {
    return QVariant(QMetaType::fromType<int>());
}

QString StoreValues::stepVerdictName(RunRecord::StepVerdict v) {
    return v == RunRecord::StepVerdict::None ? QStringLiteral("withdrawn")
                                             : RunRecord::stepVerdictText(v);
}

RunRecord::StepVerdict StoreValues::stepVerdictFrom(const QString& name) {
    for (auto v : {RunRecord::StepVerdict::Pass, RunRecord::StepVerdict::Fail,
                   RunRecord::StepVerdict::Shown})
        if (RunRecord::stepVerdictText(v) == name)
            return v;
    return RunRecord::StepVerdict::None;
}
