#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>

#include "edid/EdidIdentity.h"
#include "edid/EdidImage.h"
#include "link/LinkHolder.h"
#include "production/GoldenEdid.h"
#include "production/IdentityRecipe.h"
#include "production/UnitRecord.h"

class LinkEngine;
class ResultsStation;

// Programs one unit after another: the golden EDID patched with the unit's identity, uploaded,
// written, read back and compared byte for byte, and every attempt, passed or not, logged. It
// holds the link while a unit is programmed, so that nothing else starts a command, and shows
// the commands' outcomes itself (no message boxes). The program's own EDID image is not
// touched. The window and orve1ctl edid-provision both run units through this.
class ProductionRun : public QObject, public LinkHolder {
    Q_OBJECT
public:
    enum class Stage { Patch, Upload, Write, ReadBack, Compare, Log };
    Q_ENUM(Stage)
    static constexpr int StageCount = 6;
    // "Patch", "Upload", "Write", "Read back", "Compare", "Log".
    static QString stageName(Stage stage);

    struct Outcome {
        bool pass = false;
        bool stopped = false;              // by stop(): nothing written, logged as STOPPED
        Stage failedStage = Stage::Patch;  // when !pass
        QString message;                   // why it failed
        bool logged = false;
        QString logError;
        bool patched = false;
        EdidIdentity::Fields identity;  // what the unit was given, once patched
        EdidImage written{};
        EdidImage readBack{};
        std::array<qint64, StageCount> stageMs{};  // -1 for a stage not reached
        UnitRecord record;  // the unit as the log and the results store hold it
    };

    explicit ProductionRun(LinkEngine& engine, QObject* parent = nullptr);
    ~ProductionRun() override;

    // Where each unit is recorded besides the log (none: the log only).
    void setStation(ResultsStation* station) { station_ = station; }

    bool busy() const { return busy_; }
    Stage stage() const { return stage_; }
    const Outcome& outcome() const { return outcome_; }

    // Programs the unit with this serial: its identity made from golden by recipe (today being
    // the date of manufacture where the recipe says so), its outcome appended to the log at
    // logPath (none when empty: a test plan's report holds it) and recorded in the station's
    // results store. False, doing nothing, while a unit is being programmed; otherwise
    // finished() follows, at once when the unit fails before anything is sent.
    // serialFormat, the serials the line accepts (checked by the caller), goes into the log.
    bool start(const GoldenEdid& golden, const IdentityRecipe& recipe, const QString& serial,
               const QDate& today, const QString& logPath, const QString& serialFormat = QString());

    // While the unit uploads it may be stopped: the upload ends at the next byte, nothing is
    // written (the display keeps the EDID it had) and the unit is logged as STOPPED at Upload.
    bool stoppable() const { return busy_ && stage_ == Stage::Upload && !stopAsked_; }
    // False, doing nothing, when the unit is not stoppable.
    bool stop();

    // Why the engine would not start a command for a run now; empty when it would.
    QString startProblem() const;

    bool commandEnded(Command c, bool ok, const QString& message, const QString& detail) override;

signals:
    void stageStarted(ProductionRun::Stage stage);
    // text: the generator's text for the command stages ("Upload successful!!"), what was done
    // or why it failed for the others.
    void stageEnded(ProductionRun::Stage stage, bool ok, const QString& text);
    void finished();

private:
    void beginStage(Stage stage);
    void endStage(bool ok, const QString& text);
    void fail(const QString& message);
    void compareAndLog();
    void log();
    void done();

    LinkEngine& engine_;
    bool busy_ = false;
    bool stopAsked_ = false;
    Stage stage_ = Stage::Patch;
    QElapsedTimer stageClock_;
    Outcome outcome_;
    GoldenEdid golden_;
    QString serial_;
    QString logPath_;
    ResultsStation* station_ = nullptr;
    UnitRecord record_;
    QString serialFormat_;
};
