#include "plan/RunReport.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "files/SafeFile.h"
#include "programme/ProgramPacker.h"

namespace {

// Same-second runs of one serial get _2, _3, ...; past this many something else is wrong.
constexpr int MaxNameTries = 100;
constexpr int MaxSerialChars = 64;

// Local time with its offset from UTC, as spreadsheets and factory systems read it.
QString isoText(const QDateTime& t) {
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

QString shownTime(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" (") +
           t.timeZoneAbbreviation() + QLatin1Char(')');
}

qint64 runSeconds(const RunRecord& r) {
    return qMax<qint64>(0, r.started.secsTo(r.ended));
}

QString esc(const QString& s) {
    return s.toHtmlEscaped();
}

// What the report says of step k beside (or instead of) its verdict.
QString stepState(const RunRecord& r, int k) {
    const RunRecord::Step& s = r.steps[k];
    QString text;
    if (s.verdict != RunRecord::StepVerdict::None)
        text = RunRecord::stepVerdictText(s.verdict);
    else if (k == r.endStep && r.end == RunRecord::End::CommandFailed)
        text = QStringLiteral("not shown");
    else if (k == r.endStep)
        text = r.end == RunRecord::End::Interrupted ? QStringLiteral("interrupted here")
                                                    : QStringLiteral("stopped here");
    else
        text = QStringLiteral("not reached");
    if (s.redone && s.verdict != RunRecord::StepVerdict::None)
        text += QStringLiteral(" (judged again)");
    return text;
}

// The step's mode as the report's Check column says it.
QString checkText(const PlanStep& s) {
    switch (s.mode) {
        case PlanStep::Mode::Judge:
            return QStringLiteral("judge");
        case PlanStep::Mode::Edid:
            return QStringLiteral("edid");
        case PlanStep::Mode::Timed:
            break;
    }
    return QStringLiteral("shown %1 %2")
        .arg(s.showTime)
        .arg(s.unit == PlanStep::Unit::Minutes ? "min" : "s");
}

QString seconds(qint64 ms) {
    return QString::number(ms / 1000.0, 'f', 1) + QStringLiteral(" s");
}

const char* const Style = R"(
@page { size: A4; margin: 14mm 12mm; }
body { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; color: #000; margin: 0; }
h1 { font-size: 15pt; margin: 0 0 6pt 0; }
h2 { font-size: 12pt; margin: 12pt 0 4pt 0; }
.verdict { display: inline-block; font-size: 26pt; font-weight: bold; padding: 2pt 14pt;
           border: 3pt solid; margin: 2pt 0 8pt 0; }
.PASS { color: #0a7d14; } .FAIL, .ERROR { color: #c4000b; } .STOPPED { color: #a35a00; }
.failed { font-weight: bold; color: #c4000b; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 0.5pt solid #999; padding: 2pt 4pt; text-align: left; vertical-align: top; }
th { background: #eee; }
table.facts th { width: 22%; }
tr { page-break-inside: avoid; }
thead { display: table-header-group; }
td.num, td.name { text-align: right; white-space: nowrap; }
td.name { text-align: left; }
.digest { font-family: monospace; font-size: 8pt; word-break: break-all; }
.foot { margin-top: 8pt; font-size: 8pt; color: #555; }
)";

}  // namespace

QString RunReport::safeName(const QString& text) {
    QString out;
    for (const QChar c : text.left(MaxSerialChars)) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.');
        out += plain ? c : QLatin1Char('_');
    }
    // No hidden file, no "." or "..": nothing that leads out of the folder or hides in it.
    if (out.isEmpty() || out.startsWith(QLatin1Char('.')))
        out.prepend(QLatin1Char('_'));
    return out;
}

QString RunReport::fileName(const RunRecord& r) {
    return safeName(r.serial) + QLatin1Char('_') +
           r.started.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".html");
}

QByteArray RunReport::html(const RunRecord& r) {
    const QString verdict = RunRecord::verdictText(r.verdict());
    QString h;
    h += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n");
    h += QStringLiteral("<title>%1 %2: %3</title>\n").arg(esc(r.plan.name), esc(r.serial), verdict);
    h += QStringLiteral("<style>") + QLatin1String(Style) + QStringLiteral("</style>\n");
    h += QStringLiteral("</head>\n<body>\n");
    h += QStringLiteral("<h1>Test report: %1</h1>\n").arg(esc(r.plan.name));
    h += QStringLiteral("<div class=\"verdict %1\">%1</div>\n").arg(verdict);
    const QList<int> failed = r.failedSteps();
    if (!failed.isEmpty()) {
        QStringList numbers;
        for (int n : failed) numbers << QString::number(n);
        h += QStringLiteral("<p class=\"failed\">Failed step%1: %2</p>\n")
                 .arg(failed.size() == 1 ? "" : "s", numbers.join(QStringLiteral(", ")));
    }

    const QString duration = ProgramPacker::durationText(runSeconds(r));
    QString run = r.endText();
    if (r.end != RunRecord::End::Completed)
        run += QStringLiteral("; %1 of %2 steps done").arg(r.doneSteps()).arg(r.steps.size());
    // Columns: heading, value (already escaped).
    const QList<QPair<QString, QString>> facts = {
        {QStringLiteral("Serial number"), QStringLiteral("<b>%1</b>").arg(esc(r.serial))},
        {QStringLiteral("Operator"), esc(r.operatorName)},
        {QStringLiteral("Run"), esc(run)},
        {QStringLiteral("Started"), esc(shownTime(r.started))},
        {QStringLiteral("Ended"), esc(shownTime(r.ended)) + QStringLiteral(", after ") + duration},
        {QStringLiteral("Plan"),
         esc(r.plan.name) +
             (r.repeat > 1 ? QStringLiteral(", run %1 times over").arg(r.repeat) : QString())},
        {QStringLiteral("Plan file"), esc(r.planFile)},
        {QStringLiteral("Plan SHA-256"),
         QStringLiteral("<span class=\"digest\">%1</span>").arg(esc(r.planDigest))},
        {QStringLiteral("Station"), esc(r.station)},
        {QStringLiteral("Program"), QStringLiteral("orve1 ") + esc(r.version)},
        {QStringLiteral("Generator port"), esc(r.port)},
    };
    h += QStringLiteral("<table class=\"facts\">\n");
    QList<QPair<QString, QString>> rows = facts;
    if (r.stationMode)
        rows << qMakePair(QStringLiteral("Station mode"),
                          QStringLiteral("yes: the plan ran as loaded from its file, which could "
                                         "not be edited or replaced"));
    for (const auto& f : rows)
        h += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(f.first, f.second);
    h += QStringLiteral("</table>\n");
    if (r.end == RunRecord::End::CommandFailed)
        h += QStringLiteral("<p class=\"failed\">Step %1 could not be shown: %2</p>\n")
                 .arg(r.endStep + 1)
                 .arg(esc(r.failure));

    if (!r.interruptions.isEmpty()) {
        h += QStringLiteral(
            "<h2>Interruptions</h2>\n<table class=\"pauses\">\n<thead><tr><th>Step</th>"
            "<th>Paused at</th><th>What failed</th><th>Went on</th></tr></thead>\n");
        for (const RunRecord::Interruption& i : r.interruptions)
            h += QStringLiteral(
                     "<tr><td class=\"num\">%1</td><td>%2</td><td>%3</td>"
                     "<td>%4</td></tr>\n")
                     .arg(i.step + 1)
                     .arg(esc(shownTime(i.at)), esc(i.reason),
                          i.pausedMs < 0 ? QStringLiteral("no: the run ended paused")
                                         : QStringLiteral("after Retry, %1 later")
                                               .arg(ProgramPacker::durationText(
                                                   qMax<qint64>(1, (i.pausedMs + 999) / 1000))));
        h += QStringLiteral("</table>\n");
    }
    h += QStringLiteral(
             "<h2>Steps</h2>\n<table class=\"steps\">\n<thead><tr><th>#</th><th>Timing</th>"
             "<th>Pattern</th><th>Check</th><th>Instruction</th><th>Verdict</th>"
             "<th>%1</th><th>Time</th></tr></thead>\n")
             .arg(r.plan.defects.isEmpty() ? QStringLiteral("Note")
                                           : QStringLiteral("Defect and note"));
    for (int k = 0; k < r.steps.size(); ++k) {
        // A record whose plan was not kept (an import) still lists its steps.
        const bool known = k < r.plan.steps.size();
        const PlanStep s = known ? r.plan.steps[k] : PlanStep();
        const RunRecord::Step& done = r.steps[k];
        const bool bad = done.verdict == RunRecord::StepVerdict::Fail ||
                         (k == r.endStep && r.end == RunRecord::End::CommandFailed);
        const QString check = checkText(s);
        // The defect code leads the note, where a reader of the printed page looks for it.
        const QString note =
            done.defect.isEmpty()
                ? esc(done.note)
                : QStringLiteral("<b>[%1]</b> %2").arg(esc(done.defect), esc(done.note));
        h += QStringLiteral(
                 "<tr><td class=\"num\">%1</td><td class=\"name\">%2</td><td class=\"name\">%3</td>"
                 "<td>%4</td><td>%5</td>"
                 "<td%6>%7</td><td>%8</td><td class=\"num\">%9</td></tr>\n")
                 .arg(k + 1)
                 .arg(esc(known ? r.plan.timingShown(k) : QString()),
                      esc(known ? r.plan.patternShown(k) : QString()), check,
                      esc(s.mode == PlanStep::Mode::Edid ? s.edidText() : s.instruction),
                      bad ? QStringLiteral(" class=\"failed\"") : QString(), esc(stepState(r, k)),
                      note.trimmed(), done.ms > 0 ? seconds(done.ms) : QString());
    }
    h += QStringLiteral("</table>\n");
    // What each edid step gave the unit, with the digests that tie it to the golden file.
    QString edid;
    for (int k = 0; k < r.steps.size(); ++k) {
        const RunRecord::Step::Edid& e = r.steps[k].edid;
        if (!e.done)
            continue;
        edid += QStringLiteral("<tr><td class=\"num\">%1</td><td>%2</td>"
                               "<td><span class=\"digest\">%3</span></td>"
                               "<td><span class=\"digest\">%4</span></td>"
                               "<td><span class=\"digest\">%5</span></td></tr>\n")
                    .arg(k + 1)
                    .arg(esc(e.identity.isEmpty() ? QStringLiteral("not patched") : e.identity),
                         esc(e.goldenSha256), esc(e.writtenSha256), esc(e.readBackSha256));
    }
    if (!edid.isEmpty())
        h += QStringLiteral("<h2>EDID written</h2>\n<table class=\"edid\">\n<thead><tr>"
                            "<th>#</th><th>Identity</th><th>Golden SHA-256</th>"
                            "<th>Uploaded SHA-256</th><th>Read back SHA-256</th></tr></thead>\n") +
             edid + QStringLiteral("</table>\n");
    h += QStringLiteral(
             "<p class=\"foot\">Written by orve1 %1 on %2 at the end of the run. "
             "PASS: every step judged, none failed.</p>\n")
             .arg(esc(r.version), esc(r.station));
    h += QStringLiteral("</body>\n</html>\n");
    return h.toUtf8();
}

QString RunReport::csvField(const QString& value) {
    // One record a line: line breaks inside a value become blanks.
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!v.contains(QLatin1Char(',')) && !v.contains(QLatin1Char('"')) &&
        !v.contains(QLatin1Char(';')) && v.trimmed() == v)
        return v;
    v.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

QByteArray RunReport::csvHeader() {
    return "started,ended,serial,operator,station,plan,plan_sha256,program,port,verdict,run,"
           "steps,steps_done,failed_steps,notes,seconds,report\n";
}

QByteArray RunReport::csvLine(const RunRecord& r, const QString& reportName) {
    QStringList failed;
    QStringList notes;
    for (int n : r.failedSteps()) {
        failed << QString::number(n);
        // The code goes into the note's text: the columns stay those of older files.
        const QString note = r.steps[n - 1].noteText();
        if (!note.isEmpty())
            notes << QStringLiteral("%1: %2").arg(n).arg(note);
    }
    if (r.end == RunRecord::End::CommandFailed)
        notes << QStringLiteral("%1: %2").arg(r.endStep + 1).arg(r.failure);
    const QStringList fields = {
        isoText(r.started),
        isoText(r.ended),
        r.serial,
        r.operatorName,
        r.station,
        r.plan.name,
        r.planDigest,
        QStringLiteral("orve1 ") + r.version,
        r.port,
        RunRecord::verdictText(r.verdict()),
        r.endText(),
        QString::number(r.steps.size()),
        QString::number(r.doneSteps()),
        failed.join(QLatin1Char(' ')),
        notes.join(QStringLiteral(" | ")),
        QString::number(runSeconds(r)),
        reportName,
    };
    QStringList out;
    for (const QString& f : fields) out << csvField(f);
    return (out.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
}

bool RunReport::prepareFolder(const QString& folder, QString& error) {
    const QString shown = QDir::toNativeSeparators(folder);
    if (folder.isEmpty()) {
        error = QStringLiteral("no report folder chosen");
        return false;
    }
    if (!QFileInfo::exists(folder) && !QDir().mkpath(folder)) {
        error = QStringLiteral("%1: the folder cannot be made").arg(shown);
        return false;
    }
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable()) {
        error = QStringLiteral("%1 is not a folder this program may write into").arg(shown);
        return false;
    }
    return true;
}

bool RunReport::write(const RunRecord& r, const QString& folder, QString& htmlPath,
                      QString& error) {
    htmlPath.clear();
    error.clear();
    const QDir dir(folder);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        error = QStringLiteral("%1: no such folder").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QString base = fileName(r);
    const QByteArray bytes = html(r);
    QString htmlError;
    for (int n = 1; n <= MaxNameTries; ++n) {
        QString name = base;
        if (n > 1)
            name.insert(name.size() - 5, QStringLiteral("_%1").arg(n));
        const QString path = dir.absoluteFilePath(name);
        if (QFileInfo::exists(path))
            continue;
        if (SafeFile::createNew(path, bytes, htmlError)) {
            htmlPath = path;
            break;
        }
        // Taken by another program in the meantime: the next name.
        if (!QFileInfo::exists(path))
            break;
    }
    QStringList errors;
    if (htmlPath.isEmpty())
        errors << (htmlError.isEmpty()
                       ? QStringLiteral("%1: no free name").arg(dir.absoluteFilePath(base))
                       : htmlError);
    QString csvError;
    if (!SafeFile::appendRecord(dir.absoluteFilePath(QLatin1String(ResultsFile)), csvHeader(),
                                csvLine(r, QFileInfo(htmlPath).fileName()), csvError))
        errors << csvError;
    error = QDir::toNativeSeparators(errors.join(QStringLiteral("; ")));
    return error.isEmpty();
}
