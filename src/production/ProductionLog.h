#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The record of a production run: a CSV file with one line per unit attempted, passed or not,
// appended whole under a lock so that several programs can write to one log at once.
class ProductionLog {
public:
    // Columns of the header and of every record, in order.
    static const QByteArray Header;
    // The header of logs begun before serial_format: lines appended to them keep its layout.
    static const QByteArray OldHeader;
    // The longest log read back to look for a serial (about a million units).
    static constexpr qint64 MaxReadBytes = 512ll * 1024 * 1024;

    struct Record {
        QString time;     // ISO 8601 with the offset from UTC
        QString station;  // host name
        QString serialText;
        QString serialNumber;  // empty when the unit was not patched
        QString week;
        QString year;
        QString goldenFile;
        QString goldenSha256;
        QString writtenSha256;  // empty when nothing was uploaded
        bool pass = false;
        QString failedStage;
        QString message;
        bool stopped = false;    // by the operator, before anything was written: not a FAIL
        QString serialFormat{};  // the serials the line accepted (a regular expression), or empty
    };

    // What the log holds of a unit about to be programmed.
    struct Earlier {
        QStringList sameText;    // its serial's records: "PASS, 2025-03-01T..., station"
        QStringList sameNumber;  // other serials' with its serial number: "PX0003 PASS, ..."
        bool isEmpty() const { return sameText.isEmpty() && sameNumber.isEmpty(); }
    };

    // The record as one CSV line with its line feed; line breaks inside a field become blanks.
    // oldLayout: without serial_format, for a log whose header is OldHeader.
    static QByteArray line(const Record& record, bool oldLayout = false);
    // Appends the record in the layout of the log's header, so that no log holds lines of two
    // layouts; a new log gets Header.
    static bool append(const QString& path, const Record& record, QString& error);
    // The fields of one CSV line.
    static QStringList fields(const QByteArray& line);
    // The records of the log at path whose serial text is serial and, when number is given,
    // those whose serial number is number. A log that does not exist yet has none. False when
    // it cannot be read.
    static bool earlier(const QString& path, const QString& serial, std::optional<quint32> number,
                        Earlier& found, QString& error);
    // The highest serial number in the log at path; none when no record has one.
    static bool highestNumber(const QString& path, std::optional<quint32>& highest, QString& error);
    // Now, in ISO 8601 with the offset from UTC: "2025-03-01T14:05:09+01:00".
    static QString now();

private:
    // Calls take with each line of the log (without its line end) that holds any of needles.
    static bool scan(const QString& path, const QList<QByteArray>& needles,
                     const std::function<void(const QByteArray&)>& take, QString& error);
};
