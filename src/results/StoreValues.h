#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include "plan/RunRecord.h"

// The values the results store binds and reads back, as its schema keeps them: a moment's time
// columns, text that is never NULL, typed NULLs, and a step's verdict by its stored name.
class StoreValues {
public:
    // The time columns of a moment.
    struct Moment {
        QString utc;    // 2026-12-08T13:15:03.000Z: sorts as time
        QString local;  // 2026-12-08T14:15:03+01:00: as the report shows it
        QString day;    // 2026-12-08: the station's date
        QString week;   // 2026-W50: its ISO week
    };

    static Moment moment(const QDateTime& t);
    // Bound text is never NULL: an empty field is an empty text in every column that holds text.
    static QVariant text(const QString& s);
    static QVariant nullText();
    static QVariant nullNumber();
    // A withdrawn verdict (Back) is kept as such: the step was judged once.
    static QString stepVerdictName(RunRecord::StepVerdict v);
    // None for "withdrawn" and any name this program does not know.
    static RunRecord::StepVerdict stepVerdictFrom(const QString& name);
};
