#include "results/ResultsImport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "files/SafeFile.h"
#include "plan/RunReport.h"
#include "production/ProductionLog.h"
#include "results/ResultsStore.h"

namespace {

// As long as the longest production log that is read back for a serial.
constexpr qint64 MaxFileBytes = ProductionLog::MaxReadBytes;
constexpr int MaxNotedLines = 5;

// results.csv columns, in RunReport::csvHeader's order.
enum RunColumn {
    Started,
    Ended,
    Serial,
    Operator,
    Station,
    PlanName,
    PlanSha,
    Program,
    Port,
    Verdict,
    RunText,
    Steps,
    StepsDone,
    FailedSteps,
    Notes,
    Seconds,
    Report,
    RunColumns
};

// Production log columns, in ProductionLog::Header's order.
enum UnitColumn {
    Time,
    UnitStation,
    SerialText,
    SerialNumber,
    Week,
    Year,
    GoldenFile,
    GoldenSha,
    WrittenSha,
    Result,
    FailedStage,
    Message,
    SerialFormat,  // only in logs written since the serial format was logged
    UnitColumns
};

struct Parsed {
    QString file;
    bool runs = false;
    QList<ResultsStore::ImportedRun> runRecords;
    QList<UnitRecord> units;
    QList<int> badLines;
};

QDateTime timeOf(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODate);
}

// How the run ended, from its words in the file ("stopped by the operator during step 3").
void readEnd(const QString& text, const QString& verdict, RunRecord& r) {
    static const QRegularExpression stepNumber(QStringLiteral("step ([0-9]+)"));
    const QRegularExpressionMatch m = stepNumber.match(text);
    const int step = m.hasMatch() ? m.captured(1).toInt() - 1 : -1;
    const QString shown = QStringLiteral("could not be shown (");
    const qsizetype open = text.indexOf(shown);
    const QString failure = open < 0 || !text.endsWith(QLatin1Char(')'))
                                ? QString()
                                : text.mid(open + shown.size()).chopped(1);
    for (int e = 0; e <= int(RunRecord::End::Interrupted); ++e) {
        RunRecord probe;
        probe.end = RunRecord::End(e);
        probe.endStep = probe.end == RunRecord::End::Completed ? -1 : step;
        probe.failure = failure;
        if (probe.endText() == text) {
            r.end = probe.end;
            r.endStep = probe.endStep;
            r.failure = probe.end == RunRecord::End::CommandFailed ? failure : QString();
            return;
        }
    }
    // Words this version does not know: the verdict says enough.
    r.end = verdict == QLatin1String("PASS") ? RunRecord::End::Completed : RunRecord::End::Stopped;
    r.endStep = r.end == RunRecord::End::Completed ? -1 : step;
}

bool readRun(const QStringList& f, const QString& folder, ResultsStore::ImportedRun& out) {
    if (f.size() != RunColumns)
        return false;
    RunRecord& r = out.record;
    r.started = timeOf(f[Started]);
    r.ended = timeOf(f[Ended]);
    bool stepsOk = false;
    const int steps = f[Steps].toInt(&stepsOk);
    if (!r.started.isValid() || !r.ended.isValid() || !stepsOk || steps < 0 || f[Serial].isEmpty())
        return false;
    r.serial = f[Serial];
    r.operatorName = f[Operator];
    r.station = f[Station];
    r.plan.name = f[PlanName];
    r.planDigest = f[PlanSha];
    r.version = f[Program];
    if (r.version.startsWith(QLatin1String("orve1 ")))
        r.version = r.version.mid(6);
    r.port = f[Port];
    r.reportFolder = folder;
    r.reportFile = f[Report];
    r.steps.resize(steps);
    out.verdict = f[Verdict];
    out.stepsDone = f[StepsDone].toInt();
    readEnd(f[RunText], out.verdict, r);
    QHash<int, QString> notes;
    // "2: black spot | 5: ...": a " | " inside a note is not followed by a step number.
    static const QRegularExpression between(QStringLiteral(" \\| (?=[0-9]+: )"));
    for (const QString& note : f[Notes].split(between, Qt::SkipEmptyParts)) {
        const qsizetype colon = note.indexOf(QStringLiteral(": "));
        if (colon > 0)
            notes.insert(note.left(colon).toInt(), note.mid(colon + 2));
    }
    for (const QString& n : f[FailedSteps].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int step = n.toInt();
        if (step < 1 || step > steps)
            return false;
        r.steps[step - 1].verdict = RunRecord::StepVerdict::Fail;
        r.steps[step - 1].note = notes.value(step);
    }
    return true;
}

bool readUnit(const QStringList& f, int columns, const QString& path, UnitRecord& u) {
    if (f.size() != columns)
        return false;
    u.ended = u.started = timeOf(f[Time]);
    if (!u.started.isValid() || f[SerialText].isEmpty())
        return false;
    u.station = f[UnitStation];
    u.serial = u.serialText = f[SerialText];
    u.patched = !f[SerialNumber].isEmpty();
    u.serialNumber = f[SerialNumber].toUInt();
    u.week = f[Week].toInt();
    u.year = f[Year].toInt();
    u.goldenFile = f[GoldenFile];
    u.goldenSha256 = f[GoldenSha];
    u.writtenSha256 = f[WrittenSha];
    u.verdict = f[Result] == QLatin1String("PASS")      ? UnitRecord::Verdict::Pass
                : f[Result] == QLatin1String("STOPPED") ? UnitRecord::Verdict::Stopped
                                                        : UnitRecord::Verdict::Fail;
    u.serialFormat = f.value(SerialFormat);
    u.failedStage = UnitRecord::stageFromName(f[FailedStage]);
    u.message = f[Message];
    u.logFile = path;
    return true;
}

bool parseFile(const QString& path, Parsed& p, QString& error) {
    QByteArray bytes;
    if (!SafeFile::readRegular(path, MaxFileBytes, bytes, error))
        return false;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<QByteArray> lines = bytes.split('\n');
    const QByteArray header = lines.value(0).trimmed();
    p.file = QDir::toNativeSeparators(path);
    // Logs of both layouts, with and without the serial format.
    int unitColumns = UnitColumns;
    if (header == RunReport::csvHeader().trimmed())
        p.runs = true;
    else if (header == ProductionLog::OldHeader.trimmed())
        unitColumns = SerialFormat;
    else if (header != ProductionLog::Header.trimmed()) {
        error = QStringLiteral(
                    "%1: neither a results.csv of test plan runs nor a production log "
                    "(its first line is not the header of either)")
                    .arg(p.file);
        return false;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString folder = QFileInfo(path).absolutePath();
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        const QStringList f = ProductionLog::fields(lines[i]);
        bool ok = false;
        if (p.runs) {
            ResultsStore::ImportedRun r;
            ok = readRun(f, folder, r);
            if (ok)
                p.runRecords << r;
        } else {
            UnitRecord u;
            ok = readUnit(f, unitColumns, absolute, u);
            if (ok)
                p.units << u;
        }
        if (!ok)
            p.badLines << i + 1;
    }
    return true;
}

}  // namespace

bool ResultsImport::run(ResultsStore& store, const QStringList& files, Outcome& out,
                        QString& error) {
    out = Outcome();
    QList<Parsed> parsed;
    for (const QString& file : files) {
        Parsed p;
        if (!parseFile(file, p, error))
            return false;
        parsed << p;
    }
    for (const Parsed& p : parsed) {
        int added = 0;
        int skipped = 0;
        const bool ok = p.runs ? store.importRuns(p.runRecords, added, skipped, error)
                               : store.importUnits(p.units, added, skipped, error);
        if (!ok) {
            error = QStringLiteral("%1: %2").arg(p.file, error);
            return false;
        }
        out.added += added;
        out.skipped += skipped;
        if (!p.badLines.isEmpty()) {
            QStringList lines;
            for (int n : p.badLines.mid(0, MaxNotedLines)) lines << QString::number(n);
            out.notes << QStringLiteral("%1: %2 line%3 not read (line %4%5)")
                             .arg(p.file)
                             .arg(p.badLines.size())
                             .arg(p.badLines.size() == 1 ? "" : "s",
                                  lines.join(QLatin1String(", ")),
                                  p.badLines.size() > MaxNotedLines ? QStringLiteral(", ...")
                                                                    : QString());
        }
    }
    return true;
}
