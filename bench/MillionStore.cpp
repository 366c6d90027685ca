#include "MillionStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cstdio>

#include "plan/PlanFile.h"
#include "results/ResultsQuery.h"
#include "results/ResultsStore.h"

namespace {

constexpr int Days = 700;  // about two years
constexpr int Stations = 6;
constexpr qint64 MillionRuns = MillionStore::Runs;
constexpr int StepsPerRun = MillionStore::StepsPerRun;
// The plans' defect codes, the first ones found most often.
constexpr const char* Defects[] = {"mura", "dead-pixel", "banding", "flicker", "colour"};
constexpr int DefectCount = int(sizeof(Defects) / sizeof(Defects[0]));

QString utc(const QDateTime& t) {
    return t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

// A million runs of 7 steps over about two years, in one transaction.
bool make(const QString& path) {
    {
        ResultsStore store;
        QString e;
        if (!store.open(path, ResultsStore::Access::ReadWrite, e)) {
            std::printf("%s\n", qPrintable(e));
            return false;
        }
    }
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec("PRAGMA journal_mode=DELETE");
        q.exec("PRAGMA synchronous=OFF");
        q.exec("BEGIN");
        QStringList digests;
        QSqlQuery plan(db);
        plan.prepare("INSERT INTO plans (sha256, name, text) VALUES (?, ?, ?)");
        for (int k = 0; k < 3; ++k) {
            const QByteArray text = MillionStore::planText(k);
            digests << PlanFile::digest(text);
            plan.addBindValue(digests.last());
            plan.addBindValue(QStringLiteral("Incoming inspection %1").arg(k + 1));
            plan.addBindValue(QString::fromUtf8(text));
            plan.exec();
        }
        QSqlQuery run(db);
        run.prepare(
            "INSERT INTO runs (id, uuid, station, serial, operator, plan_name, plan_file,"
            " plan_sha256, program, port, repeats, started, started_local, day, week, ended,"
            " ended_local, touched, reached, end_kind, end_step, failure, verdict, steps_total,"
            " steps_done, report_folder, report_file, source) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?,"
            " ?, 1, ?, ?, ?, ?, ?, ?, ?, 6, 'completed', NULL, '', ?, 7, 7, ?, ?, 'station')");
        QSqlQuery step(db);
        step.prepare(
            "INSERT INTO run_steps (run, step, verdict, note, ms, redone, defect) VALUES (?, ?, ?,"
            " ?, ?, 0, ?)");
        QRandomGenerator random(4711);
        const QDateTime first(QDate(2025, 1, 6), QTime(6, 0));
        const int perDay = int((MillionRuns + Days - 1) / Days);
        qint64 id = 0;
        for (int d = 0; d < Days && ok; ++d) {
            const QDate date = first.date().addDays(d);
            int year = 0;
            const int weekNo = date.weekNumber(&year);
            const QString day = date.toString("yyyy-MM-dd");
            const QString week =
                QStringLiteral("%1-W%2").arg(year).arg(weekNo, 2, 10, QLatin1Char('0'));
            int runsToday = 0;
            for (int u = 0; runsToday < perDay && ok; ++u) {
                const QString serial = QStringLiteral("SN-%1-%2").arg(d).arg(u, 5, 10, QChar('0'));
                const int station = u % Stations;
                // A unit that fails is tested again, up to twice.
                for (int attempt = 0; attempt < 3 && runsToday < perDay; ++attempt) {
                    const int failAt =
                        random.bounded(100) < (attempt ? 15 : 9)
                            ? int(random.bounded(StepsPerRun * StepsPerRun)) % StepsPerRun
                            : -1;
                    // Earlier steps fail more often: a skewed Pareto.
                    const int failStep = failAt < 0 ? -1 : qMin(failAt, int(random.bounded(7)));
                    const QDateTime start =
                        QDateTime(date, QTime(6, 0)).addSecs(runsToday * 45 + attempt * 300);
                    const QDateTime end = start.addSecs(40);
                    const QString verdict = failStep < 0 ? "PASS" : "FAIL";
                    const int d = int(random.bounded(DefectCount * DefectCount));
                    const QString defect = Defects[qMin(d % DefectCount, d / DefectCount)];
                    const int plan = station % 3;
                    ++id;
                    for (const QVariant& v :
                         {QVariant(id),
                          QVariant(QUuid::createUuid().toString(QUuid::WithoutBraces)),
                          QVariant(QStringLiteral("line%1").arg(station + 1)),
                          QVariant(serial),
                          QVariant(QStringLiteral("op%1").arg(u % 11)),
                          QVariant(QStringLiteral("Incoming inspection %1").arg(plan + 1)),
                          QVariant(QStringLiteral("/srv/plans/incoming-%1.txt").arg(plan + 1)),
                          QVariant(digests[plan]),
                          QVariant("1.0.0"),
                          QVariant("COM 1"),
                          QVariant(utc(start)),
                          QVariant(start.toString(Qt::ISODate) + "+01:00"),
                          QVariant(day),
                          QVariant(week),
                          QVariant(utc(end)),
                          QVariant(end.toString(Qt::ISODate) + "+01:00"),
                          QVariant(utc(end)),
                          QVariant(verdict),
                          QVariant("/srv/reports"),
                          QVariant(serial + start.toString("_yyyyMMdd-HHmmss") + ".html")})
                        run.addBindValue(v);
                    if (!run.exec()) {
                        std::printf("%s\n", qPrintable(run.lastError().text()));
                        ok = false;
                        break;
                    }
                    for (int s = 0; s < StepsPerRun; ++s) {
                        step.addBindValue(id);
                        step.addBindValue(s);
                        step.addBindValue(s == failStep ? "fail" : "pass");
                        step.addBindValue(s == failStep ? QStringLiteral("defect seen")
                                                        : QStringLiteral(""));
                        step.addBindValue(3000 + s * 100);
                        step.addBindValue(s == failStep ? defect : QString(""));
                        ok = ok && step.exec();
                    }
                    ++runsToday;
                    if (failStep < 0)
                        break;
                }
            }
        }
        q.exec(ok ? "COMMIT" : "ROLLBACK");
        q.exec("PRAGMA journal_mode=WAL");
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("bench");
    std::printf("made %s in %.0f s\n", qPrintable(QDir::toNativeSeparators(path)),
                clock.elapsed() / 1000.0);
    return ok;
}

}  // namespace

QByteArray MillionStore::planText(int k) {
    QByteArray t = "name: Incoming inspection " + QByteArray::number(k + 1) + "\n";
    t += "defects: ";
    for (int d = 0; d < DefectCount; ++d) t += QByteArray(d ? ", " : "") + Defects[d];
    t += "\n";
    const char* steps[] = {"White field: no dead pixels",  "Black field: no bright pixels",
                           "Gray-16: sixteen clean steps", "Colour bar: eight bars in order",
                           "1080i colour bar: no flicker", "Grid: straight lines",
                           "Running H: no smearing"};
    for (int s = 0; s < StepsPerRun; ++s)
        t += QByteArray::number(10 + s) + " " + QByteArray::number(1 + s) + " judge " + steps[s] +
             "\n";
    return t;
}

QString MillionStore::defaultFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../bench-results");
}

QString MillionStore::ensure(const QString& folder) {
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath("million.sqlite");
    qint64 runs = 0;
    {
        ResultsStore store;
        QString e;
        if (store.open(path, ResultsStore::Access::ReadOnly, e))
            ResultsQuery(store).runCount({}, runs, e);
    }
    if (runs < Runs * 999 / 1000) {
        for (const QString& f : {path, path + "-wal", path + "-shm"}) QFile::remove(f);
        if (!make(path))
            return QString();
    }
    return path;
}
