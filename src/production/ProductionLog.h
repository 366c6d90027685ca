#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The record of a production run: a CSV file with one line per unit attempted, passed or not,
// appended whole under a lock so that several programs can write to one log at once.
class ProductionLog {
public:
    // Columns of the header and of every record, in order.
    static const QByteArray Header;
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
    };

    // The record as one CSV line with its line feed; line breaks inside a field become blanks.
    static QByteArray line(const Record& record);
    static bool append(const QString& path, const Record& record, QString& error);
    // The fields of one CSV line.
    static QStringList fields(const QByteArray& line);
    // The records of the log at path whose serial text is serial, as "PASS, 2025-03-01T...,
    // station" texts. A log that does not exist yet has none. False when it cannot be read.
    static bool earlier(const QString& path, const QString& serial, QStringList& found,
                        QString& error);
    // Why a log at path could not be appended to (a folder, a file or folder that may not be
    // written); empty when it looks writable.
    static QString writeProblem(const QString& path);
    // Now, in ISO 8601 with the offset from UTC: "2025-03-01T14:05:09+01:00".
    static QString now();
};
