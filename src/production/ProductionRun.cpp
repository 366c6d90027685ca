#include "production/ProductionRun.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>

#include "edid/EdidDiff.h"
#include "link/LinkEngine.h"
#include "production/ProductionLog.h"
#include "results/ResultsStation.h"

namespace {

// Differences named one by one in a failed comparison's message; the rest are counted.
constexpr int NamedDifferences = 3;

QByteArray bytesOf(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
}

QString hexOf(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0'));
}

}  // namespace

ProductionRun::ProductionRun(LinkEngine& engine, QObject* parent)
    : QObject(parent), engine_(engine) {
    outcome_.stageMs.fill(-1);
}

ProductionRun::~ProductionRun() {
    engine_.release(this);
}

QString ProductionRun::stageName(Stage stage) {
    // Columns: stage, name (in stage order).
    static const char* const Names[StageCount] = {"Patch",     "Upload",  "Write",
                                                  "Read back", "Compare", "Log"};
    return QLatin1String(Names[int(stage)]);
}

QString ProductionRun::startProblem() const {
    const LinkState& st = engine_.state();
    if (!st.portOpen)
        return QStringLiteral("The port is not open: connect the generator first.");
    if (!st.devicePresent)
        return QStringLiteral("The generator is not present: it has not answered.");
    if (engine_.AnyCommandBusy())
        return QStringLiteral("Another command to the generator is still outstanding.");
    if (engine_.holder() && engine_.holder() != this)
        return QStringLiteral("Another run holds the link to the generator.");
    return QString();
}

bool ProductionRun::start(const GoldenEdid& golden, const IdentityRecipe& recipe,
                          const QString& serial, const QDate& today, const QString& logPath,
                          const QString& serialFormat) {
    if (busy_)
        return false;
    busy_ = true;
    stopAsked_ = false;
    outcome_ = Outcome();
    outcome_.stageMs.fill(-1);
    golden_ = golden;
    serial_ = serial;
    logPath_ = logPath;
    record_ = UnitRecord();
    record_.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record_.started = QDateTime::currentDateTime();
    record_.station = QSysInfo::machineHostName();
    record_.serial = serial;
    record_.goldenFile = golden.fileName;
    record_.goldenSha256 = QString::fromLatin1(golden.sha256);
    record_.logFile = logPath;
    serialFormat_ = serialFormat;
    record_.serialFormat = serialFormat;

    beginStage(Stage::Patch);
    EdidImage image = golden.image;
    QString error;
    if (!recipe.apply(image, serial, today, error, &outcome_.identity)) {
        fail(error);
        return true;
    }
    const QString unsound = GoldenEdid::problem(image);
    if (!unsound.isEmpty()) {
        fail(QStringLiteral("The patched EDID is not sound: %1.").arg(unsound));
        return true;
    }
    outcome_.patched = true;
    outcome_.written = image;
    const EdidIdentity::Fields& f = outcome_.identity;
    endStage(true, QStringLiteral("serial text %1, serial number %2, %3")
                       .arg(f.serialText.isEmpty() ? QStringLiteral("none") : f.serialText)
                       .arg(f.serialNumber)
                       .arg(EdidIdentity::dateText(f.week, f.year)));

    beginStage(Stage::Upload);
    const QString problem = startProblem();
    if (!problem.isEmpty() || !engine_.hold(this) || !engine_.startEdidUpload(image, this)) {
        fail(problem.isEmpty() ? QStringLiteral("The upload could not be started.") : problem);
        return true;
    }
    return true;
}

bool ProductionRun::stop() {
    if (!stoppable())
        return false;
    stopAsked_ = true;
    // Refused only once the last byte has gone: the unit then stops when the upload ends, still
    // before its write.
    engine_.cancelEdidUpload(this);
    return true;
}

bool ProductionRun::commandEnded(Command c, bool ok, const QString& message,
                                 const QString& detail) {
    const Stage expected = c == Command::Uedid   ? Stage::Upload
                           : c == Command::Wedid ? Stage::Write
                           : c == Command::Redid ? Stage::ReadBack
                                                 : Stage::Log;
    if (!busy_ || expected != stage_)
        return false;
    QString text = message;
    if (!detail.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + detail;
    if (stopAsked_ && stage_ == Stage::Upload) {
        outcome_.stopped = true;
        fail(QStringLiteral("%1: nothing was written, the display keeps the EDID it had.")
                 .arg(ok ? QStringLiteral("Stopped after the upload") : text));
        return true;
    }
    if (!ok) {
        fail(text.isEmpty() ? QStringLiteral("The generator did not complete the command.") : text);
        return true;
    }
    endStage(true, text);
    bool started = false;
    if (stage_ == Stage::Upload) {
        beginStage(Stage::Write);
        started = engine_.startCommand(Command::Wedid, this);
    } else if (stage_ == Stage::Write) {
        beginStage(Stage::ReadBack);
        started = engine_.startEdidRead(outcome_.readBack, this);
    } else {
        compareAndLog();
        return true;
    }
    if (!started)
        fail(startProblem().isEmpty() ? QStringLiteral("The command could not be started.")
                                      : startProblem());
    return true;
}

void ProductionRun::beginStage(Stage stage) {
    stage_ = stage;
    stageClock_.start();
    emit stageStarted(stage);
}

void ProductionRun::endStage(bool ok, const QString& text) {
    outcome_.stageMs[int(stage_)] = stageClock_.elapsed();
    UnitRecord::Stage& st = record_.stages[size_t(stage_)];
    st.reached = true;
    st.ok = ok;
    st.ms = outcome_.stageMs[int(stage_)];
    st.text = text;
    emit stageEnded(stage_, ok, text);
}

void ProductionRun::fail(const QString& message) {
    outcome_.pass = false;
    outcome_.failedStage = stage_;
    outcome_.message = message;
    endStage(false, message);
    engine_.release(this);
    log();
}

void ProductionRun::compareAndLog() {
    engine_.release(this);
    beginStage(Stage::Compare);
    const QList<EdidDiff::Difference> diffs =
        EdidDiff::compare(bytesOf(outcome_.written), bytesOf(outcome_.readBack));
    if (!diffs.isEmpty()) {
        QStringList named;
        for (int i = 0; i < diffs.size() && i < NamedDifferences; ++i) {
            const EdidDiff::Difference& d = diffs[i];
            named << QStringLiteral("0x%1 (%2): uploaded %3, read %4")
                         .arg(d.offset, 3, 16, QLatin1Char('0'))
                         .arg(d.field, hexOf(d.a), hexOf(d.b));
        }
        if (diffs.size() > NamedDifferences)
            named << QStringLiteral("%1 more").arg(diffs.size() - NamedDifferences);
        fail(QStringLiteral("The EDID read back differs from the one uploaded in %1 byte%2: %3.")
                 .arg(diffs.size())
                 .arg(diffs.size() == 1 ? "" : "s")
                 .arg(named.join(QStringLiteral("; "))));
        return;
    }
    outcome_.pass = true;
    endStage(true, QStringLiteral("The %1 bytes read back equal those uploaded.")
                       .arg(outcome_.written.size()));
    log();
}

void ProductionRun::log() {
    beginStage(Stage::Log);
    UnitRecord& u = record_;
    u.ended = QDateTime::currentDateTime();
    u.patched = outcome_.patched;
    if (outcome_.patched) {
        const EdidIdentity::Fields& f = outcome_.identity;
        u.serialText = f.serialText;
        u.serialNumber = f.serialNumber;
        u.week = f.week;
        u.year = f.year;
        u.writtenSha256 = QString::fromLatin1(
            QCryptographicHash::hash(bytesOf(outcome_.written), QCryptographicHash::Sha256)
                .toHex());
    }
    if (u.stages[size_t(Stage::ReadBack)].ok)
        u.readBackSha256 = QString::fromLatin1(
            QCryptographicHash::hash(bytesOf(outcome_.readBack), QCryptographicHash::Sha256)
                .toHex());
    u.verdict = outcome_.pass      ? UnitRecord::Verdict::Pass
                : outcome_.stopped ? UnitRecord::Verdict::Stopped
                                   : UnitRecord::Verdict::Fail;
    u.failedStage = outcome_.pass ? -1 : int(outcome_.failedStage);
    u.message = outcome_.pass ? QString() : outcome_.message;

    ProductionLog::Record r;
    r.time = ProductionLog::now();
    r.station = u.station;
    r.serialText = serial_;
    if (u.patched) {
        r.serialNumber = QString::number(u.serialNumber);
        r.week = QString::number(u.week);
        r.year = QString::number(u.year);
        r.writtenSha256 = u.writtenSha256;
    }
    r.goldenFile = u.goldenFile;
    r.goldenSha256 = u.goldenSha256;
    r.pass = outcome_.pass;
    r.stopped = outcome_.stopped;
    r.failedStage = outcome_.pass ? QString() : stageName(outcome_.failedStage);
    r.message = u.message;
    r.serialFormat = serialFormat_;
    QString error;
    QStringList where;
    outcome_.logged = logPath_.isEmpty() || ProductionLog::append(logPath_, r, error);
    if (outcome_.logged && !logPath_.isEmpty())
        where << logPath_;
    // The store holds the whole unit, its log stage as far as it went.
    UnitRecord::Stage& logStage = u.stages[size_t(Stage::Log)];
    logStage.reached = true;
    logStage.ok = outcome_.logged;
    logStage.ms = stageClock_.elapsed();
    logStage.text = outcome_.logged ? QStringLiteral("Written to %1.").arg(logPath_) : error;
    if (station_) {
        QString storeError;
        if (station_->unitRecorded(u, storeError)) {
            where << station_->name();
        } else {
            outcome_.logged = false;
            error = (error.isEmpty() ? QString() : error + QStringLiteral("; ")) +
                    QStringLiteral("results store: ") + storeError;
        }
    }
    outcome_.logError = error;
    outcome_.record = u;
    endStage(outcome_.logged,
             outcome_.logged
                 ? QStringLiteral("Written to %1.").arg(where.join(QStringLiteral(" and ")))
                 : error);
    done();
}

void ProductionRun::done() {
    busy_ = false;
    emit finished();
}
