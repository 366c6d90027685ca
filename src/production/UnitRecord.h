#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>

// One unit's EDID programming as it happened: the single record behind the production log's
// line and the results store's rows.
struct UnitRecord {
    enum class Verdict { Pass, Fail, Stopped };
    static constexpr int StageCount = 6;  // Patch, Upload, Write, Read back, Compare, Log
    struct Stage {
        bool reached = false;
        bool ok = false;
        qint64 ms = -1;
        QString text;
    };

    QString id;                // UUID made on the station
    QDateTime started, ended;  // local time
    QString station;           // host name
    QString serial;            // as scanned
    bool patched = false;      // identity below is what was written
    QString serialText;
    quint32 serialNumber = 0;
    int week = 0;
    int year = 0;
    QString goldenFile, goldenSha256, writtenSha256, readBackSha256;
    Verdict verdict = Verdict::Fail;
    int failedStage = -1;  // 0..5 when not Pass
    QString message;       // why it failed or stopped
    std::array<Stage, StageCount> stages;
    QString logFile;       // the CSV log it was appended to
    QString serialFormat;  // the serials the line accepted (a regular expression), or empty

    static QString stageName(
        int stage);  // "Patch", "Upload", "Write", "Read back", "Compare", "Log"
    static QString verdictText(Verdict v);  // "PASS", "FAIL", "STOPPED"
    // The stage a name stands for (as stageName writes it), or -1.
    static int stageFromName(const QString& name);
};
