#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class ResultsStore;

// Which runs a question is about; an empty field does not filter.
struct ResultsFilter {
    QString since, until;  // the station's local days, yyyy-MM-dd, both included
    QString plan;          // the plan's name, exactly
    QString station;
    QString operatorName;
    QString verdict;  // PASS, FAIL, STOPPED, ERROR, or INTERRUPTED (those end kinds)

    // What a summary is about, in words: "2026-11-01 to today, plan Incoming, station line3".
    QString scope() const;
};

// One plan run or EDID unit as the questions answer it.
struct ResultRow {
    enum class Kind { Run, Unit };
    struct FailedStep {
        int step = 0;  // 1-based
        QString note;
        QString defect;  // its defect code, or empty
    };

    Kind kind = Kind::Run;
    QString id;
    QString started, ended;  // local time, ISO 8601 with the offset; ended empty while running
    QString startedUtc;      // yyyy-MM-ddTHH:mm:ss.zzzZ: sorts as time across stations
    QString station, serial, operatorName;
    QString plan;  // the plan's name, or a unit's golden EDID file
    QString planSha256, program, port;
    QString verdict;   // empty while running
    QString endText;   // runs: how it ended, as the report says it
    int endStep = -1;  // runs: the step it ended on (0-based), -1 when completed
    int steps = 0, stepsDone = 0;
    QList<FailedStep> failed;  // runs: the failed steps with their notes
    QString failure;           // runs: why a step was not shown; units: "Stage: why"
    QString report;            // the report's path, or the log a unit went to
    qint64 seconds() const;
};

// Yield of one plan in one period (a day or an ISO week).
struct YieldRow {
    QString plan, period;
    int runs = 0;
    int units = 0;      // serials whose first run in the range falls in the period
    int firstPass = 0;  // of those, the ones whose first run passed
    int finalPass = 0;  // of those, the ones whose last run in the range passed
    int retests() const { return runs - units; }
    double firstPassYield() const { return units ? double(firstPass) / units : 0.0; }
    double finalYield() const { return units ? double(finalPass) / units : 0.0; }
};

// A step that failed, with how often, most first.
struct ParetoRow {
    QString plan, planSha256;
    int step = 0;  // 1-based
    QString instruction;
    int count = 0;
    double cumulative = 0.0;  // share of all failures up to and including this row, 0..1
};

// The failures with one defect code, most first.
struct DefectParetoRow {
    static constexpr const char* NoCode = "(no code)";
    QString defect;  // empty: the failures given no code, counted after every code
    int count = 0;
    double cumulative = 0.0;  // share of all failures up to and including this row, 0..1
    // The code, or NoCode.
    QString name() const;
};

// One station's day: units tested, how many passed in the end and at the first try.
struct DayCounts {
    int units = 0, passed = 0, firstPass = 0;
    int failed() const { return units - passed; }
    double firstPassYield() const { return units ? double(firstPass) / units : 0.0; }
};
struct TodayCounts {
    DayCounts runs, edid, together;  // plan runs, EDID units, and a serial's records of both
};

// What a unit went through before: for "2nd run of this unit: last FAIL at step 2, ...".
struct PreviousRuns {
    int count = 0;  // ended runs of the serial
    QString verdict, started, station;
    QList<int> failedSteps;
    int endStep = -1;  // 0-based, for a run that stopped or could not show a step
    // "2nd run of this unit: last FAIL at step 2, 14:02, station line3-b"; empty for a first
    // run. A last run of another day than today shows its date too.
    QString sentence(const QDate& today) const;
    static QString ordinal(int n);  // "1st", "2nd", "3rd", "4th", "11th", "21st"
};

// What the runs of some days hold to filter by, each list sorted.
struct ResultsChoices {
    QStringList plans, stations, operators;
};

// The questions a line asks of its results store, over an open store.
class ResultsQuery {
public:
    enum class Period { Day, Week };

    explicit ResultsQuery(ResultsStore& store) : store_(store) {}

    // Every plan run and EDID unit of the serial, newest first, from every station.
    bool history(const QString& serial, QList<ResultRow>& out, QString& error);
    // Plan runs, newest first, a page at a time, and how many there are.
    bool runs(const ResultsFilter& filter, int offset, int limit, QList<ResultRow>& out,
              QString& error);
    bool runCount(const ResultsFilter& filter, qint64& count, QString& error);
    // The plans, stations and operators of the runs in the filter's days (its other fields do
    // not narrow them): what a window offers to filter by. One read of those days' runs.
    bool choices(const ResultsFilter& filter, ResultsChoices& out, QString& error);
    // Every run of the filter, newest first, one after the other (for exports).
    bool eachRun(const ResultsFilter& filter, const std::function<void(const ResultRow&)>& take,
                 QString& error);
    // Per plan and period, ended runs only (the verdict filter does not apply).
    bool yield(const ResultsFilter& filter, Period by, QList<YieldRow>& out, QString& error);
    bool pareto(const ResultsFilter& filter, QList<ParetoRow>& out, QString& error);
    // The same failures by defect code, whatever their plan and step.
    bool paretoDefects(const ResultsFilter& filter, QList<DefectParetoRow>& out, QString& error);
    bool todayCounts(const QString& station, const QDate& day, TodayCounts& out, QString& error);
    bool previousRuns(const QString& serial, PreviousRuns& out, QString& error);

private:
    // The filter without the days that take in every run: a range over the whole store is no
    // condition, so that the time index alone serves it (the same runs either way).
    ResultsFilter narrowest(const ResultsFilter& filter) const;
    bool runRows(const QString& sql, const QVariantList& binds,
                 const std::function<void(const ResultRow&)>& take, QString& error);
    // The failed steps of the ended runs that filter takes: the WHERE clause of run_steps s
    // JOIN runs r, with its values to bind.
    QString failuresWhere(const ResultsFilter& filter, QVariantList& binds) const;
    bool fail(const QString& why, QString& error) const;

    ResultsStore& store_;
};
