#include "production/ProductionLog.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <iterator>

#include "files/SafeFile.h"

const QByteArray ProductionLog::Header =
    "time,station,serial_text,serial_number,week,year,golden_file,golden_sha256,"
    "written_sha256,result,failed_stage,message,serial_format\n";
const QByteArray ProductionLog::OldHeader =
    "time,station,serial_text,serial_number,week,year,golden_file,golden_sha256,"
    "written_sha256,result,failed_stage,message\n";

namespace {

constexpr int SerialTextColumn = 2;
constexpr int SerialNumberColumn = 3;
constexpr int TimeColumn = 0;
constexpr int StationColumn = 1;
constexpr int ResultColumn = 9;
constexpr int StageColumn = 10;

QByteArray csvField(QString text) {
    // One record is one line, whatever a message holds.
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.startsWith(' ') ||
        bytes.endsWith(' ')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

}  // namespace

QByteArray ProductionLog::line(const Record& r, bool oldLayout) {
    const QString fields[] = {
        r.time,
        r.station,
        r.serialText,
        r.serialNumber,
        r.week,
        r.year,
        r.goldenFile,
        r.goldenSha256,
        r.writtenSha256,
        r.pass      ? QStringLiteral("PASS")
        : r.stopped ? QStringLiteral("STOPPED")
                    : QStringLiteral("FAIL"),
        r.failedStage,
        r.message,
        r.serialFormat,
    };
    QByteArray out;
    // Empty leading fields keep their commas too (a host without a name).
    const size_t count = std::size(fields) - (oldLayout ? 1 : 0);
    for (size_t i = 0; i < count; ++i) out += csvField(fields[i]) + ',';
    out.back() = '\n';
    return out;
}

bool ProductionLog::append(const QString& path, const Record& record, QString& error) {
    // The first line of a log never changes once written: read before the locked append.
    QByteArray head;
    QString ignored;
    bool old = false;
    if (QFileInfo(path).isFile() &&
        SafeFile::readRegular(path, OldHeader.size() + 1, head, ignored)) {
        head.replace("\r\n", "\n");
        old = head.startsWith(OldHeader);
    }
    return SafeFile::appendRecord(path, Header, line(record, old), error);
}

QStringList ProductionLog::fields(const QByteArray& line) {
    QStringList out;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out << QString::fromUtf8(field);
            field.clear();
        } else if (c != '\r' && c != '\n') {
            field += c;
        }
    }
    out << QString::fromUtf8(field);
    return out;
}

bool ProductionLog::scan(const QString& path, const QList<QByteArray>& needles,
                         const std::function<void(const QByteArray&)>& take, QString& error) {
    if (!QFileInfo::exists(path))
        return true;
    QByteArray content;
    if (!SafeFile::readRegular(path, MaxReadBytes, content, error))
        return false;
    qsizetype start = content.indexOf('\n') + 1;  // after the header
    while (start > 0 && start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        const QByteArray row = content.mid(start, end - start);
        start = end + 1;
        // Most lines are other units: split only those that hold what is looked for at all.
        if (needles.isEmpty() || std::any_of(needles.begin(), needles.end(),
                                             [&](const QByteArray& n) { return row.contains(n); }))
            take(row);
    }
    return true;
}

bool ProductionLog::earlier(const QString& path, const QString& serial,
                            std::optional<quint32> number, Earlier& found, QString& error) {
    found = Earlier();
    const QString numberText = number ? QString::number(*number) : QString();
    // The serial as a record holds it (quoted where it has a comma or a quote).
    QList<QByteArray> needles{csvField(serial)};
    if (number)
        needles << numberText.toLatin1();
    return scan(
        path, needles,
        [&](const QByteArray& row) {
            const QStringList f = fields(row);
            if (f.size() <= StageColumn)
                return;
            const bool sameText = f[SerialTextColumn] == serial;
            if (!sameText && !(number && f[SerialNumberColumn] == numberText))
                return;
            QString text =
                QStringLiteral("%1, %2, %3").arg(f[ResultColumn], f[TimeColumn], f[StationColumn]);
            if (!f[StageColumn].isEmpty())
                text += QStringLiteral(", at %1").arg(f[StageColumn]);
            if (sameText)
                found.sameText << text;
            else
                found.sameNumber << f[SerialTextColumn] + QLatin1Char(' ') + text;
        },
        error);
}

bool ProductionLog::highestNumber(const QString& path, std::optional<quint32>& highest,
                                  QString& error) {
    highest.reset();
    return scan(
        path, {},
        [&](const QByteArray& row) {
            bool ok = false;
            const qulonglong n = fields(row).value(SerialNumberColumn).toULongLong(&ok);
            if (ok && n <= 0xFFFFFFFFull && (!highest || n > *highest))
                highest = quint32(n);
        },
        error);
}

QString ProductionLog::now() {
    const QDateTime local = QDateTime::currentDateTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}
