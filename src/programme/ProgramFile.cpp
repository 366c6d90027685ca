#include "programme/ProgramFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include "files/SafeFile.h"
#include "pattern/PatternTable.h"
#include "timing/TimingTable.h"

namespace {

const QString Header = QStringLiteral(
    "# ORVE-1 programme: TIMING PATTERN s|m TIME per line (TIME 1..59 is sent; - = empty)");

bool isEmptyField(const QString& f) {
    return f == QLatin1String(ProgramFile::EmptyField);
}

// A field that is a number 1..count or "-"; on success index is number - 1 or 255.
bool readNumbered(const QString& field, const char* what, int count, quint8& index,
                  QString& error) {
    if (isEmptyField(field)) {
        index = ProgramTable::Empty;
        return true;
    }
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(field).hasMatch()) {
        error = QStringLiteral("%1 '%2' is not a number").arg(QLatin1String(what), field);
        return false;
    }
    const int n = field.toInt();
    if (n < 1 || n > count) {
        error = QStringLiteral("%1 '%2' is not 1..%3").arg(QLatin1String(what), field).arg(count);
        return false;
    }
    index = static_cast<quint8>(n - 1);
    return true;
}

bool readUnit(const QString& field, quint8& unit, QString& error) {
    const QString u = field.toLower();
    if (isEmptyField(field))
        unit = ProgramTable::Empty;
    else if (u == QLatin1String("s"))
        unit = 0;
    else if (u == QLatin1String("m"))
        unit = 1;
    else {
        error = QStringLiteral("unit '%1' is not s or m").arg(field);
        return false;
    }
    return true;
}

// Any whole number the editor can hold (sign allowed), or "-".
bool readShowTime(const QString& field, qint32& time, QString& error) {
    if (isEmptyField(field)) {
        time = ProgramTable::Empty;
        return true;
    }
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    bool ok = false;
    const int n = integer.match(field).hasMatch() ? field.toInt(&ok) : 0;
    if (!ok) {
        error = QStringLiteral("show time '%1' is not a whole number").arg(field);
        return false;
    }
    time = n;
    return true;
}

}  // namespace

bool ProgramFile::read(const QString& text, ProgramTable& table, QString& error,
                       QList<int>* stepLines) {
    ProgramTable out;
    QList<int> lines;
    int steps = 0;
    const QStringList rows = text.split(QLatin1Char('\n'));
    for (int i = 0; i < rows.size(); ++i) {
        QString row = rows[i];
        const qsizetype hash = row.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            row.truncate(hash);
        const QStringList f = row.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.isEmpty())
            continue;
        const QString where = QStringLiteral("line %1: ").arg(i + 1);
        if (f.size() != 4) {
            error =
                where +
                QStringLiteral("expected TIMING PATTERN s|m TIME, got '%1'").arg(row.simplified());
            return false;
        }
        if (steps == ProgramTable::StepCount) {
            error = where + QStringLiteral("more than %1 steps").arg(ProgramTable::StepCount);
            return false;
        }
        QString why;
        if (!readNumbered(f[0], "timing", TimingCount, out.timing[steps], why) ||
            !readNumbered(f[1], "pattern", PatternCount, out.pattern[steps], why) ||
            !readUnit(f[2], out.unit[steps], why) ||
            !readShowTime(f[3], out.showTime[steps], why)) {
            error = where + why;
            return false;
        }
        lines << i + 1;
        ++steps;
    }
    table = out;
    if (stepLines)
        *stepLines = lines;
    return true;
}

QString ProgramFile::write(const ProgramTable& table) {
    QString out = Header + QLatin1Char('\n');
    auto numbered = [](int index) {
        return index == ProgramTable::Empty ? QLatin1String(EmptyField)
                                            : QString::number(index + 1);
    };
    for (int s = 0; s < ProgramTable::StepCount; ++s) {
        if (!table.hasAnyField(s))
            continue;
        const int unit = table.unit[s];
        const QString unitText = unit == 0   ? QStringLiteral("s")
                                 : unit == 1 ? QStringLiteral("m")
                                             : QLatin1String(EmptyField);
        const QString time = table.showTime[s] == ProgramTable::Empty
                                 ? QLatin1String(EmptyField)
                                 : QString::number(table.showTime[s]);
        out +=
            QStringList{numbered(table.timing[s]), numbered(table.pattern[s]), unitText, time}.join(
                QLatin1Char(' ')) +
            QLatin1Char('\n');
    }
    return out;
}

bool ProgramFile::load(const QString& path, ProgramTable& table, QString& error,
                       QList<int>* stepLines) {
    QByteArray bytes;
    if (!SafeFile::readRegular(path, MaxFileBytes + 1, bytes, error)) {
        error = error.mid(path.size() + 2);  // the caller names the file
        return false;
    }
    if (bytes.size() > MaxFileBytes || bytes.contains('\0')) {
        error = QStringLiteral("not a programme file (binary or larger than %1 KiB)")
                    .arg(MaxFileBytes / 1024);
        return false;
    }
    return read(QString::fromUtf8(bytes), table, error, stepLines);
}

bool ProgramFile::save(const QString& path, const ProgramTable& table, QString& error) {
    if (SafeFile::replace(path, write(table).toUtf8(), error))
        return true;
    error = error.mid(path.size() + 2);  // the caller names the file
    return false;
}
