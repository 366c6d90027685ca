#pragma once

#include <unistd.h>

#include <QFile>
#include <QHash>
#include <QProcess>

// The PostgreSQL server that the CTest fixture starts with scripts/throwaway-postgres: its
// variables (ORVE1_PG_ENV names its env file), pg_ctl on it, and statements as its admin.
namespace throwaway {

// DIR/env of scripts/throwaway-postgres: export NAME='value' lines.
inline QHash<QString, QString> serverEnv() {
    QHash<QString, QString> env;
    QFile f(qEnvironmentVariable("ORVE1_PG_ENV"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("export "))
                env.insert(QString::fromUtf8(line.mid(7).split('=')[0]),
                           QString::fromUtf8(line.mid(line.indexOf('=') + 1)).remove('\''));
    return env;
}
inline const QHash<QString, QString> Env = serverEnv();
inline const QString Admin = Env.value("ORVE1_PG_ADMIN_URL");
inline const QString Station = Env.value("ORVE1_PG_STATION_URL");

// pg_ctl on the tests' server, as the user it runs as.
inline bool pgCtl(const QStringList& args) {
    const QString ctl =
        qEnvironmentVariable("ORVE1_PG_BINDIR", "/usr/lib/postgresql/15/bin") + "/pg_ctl";
    QStringList all =
        QStringList{"-D", Env.value("ORVE1_PG_DIR") + "/data", "-w", "-t", "30"} + args;
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    if (geteuid() == 0)
        p.start("runuser", QStringList{"-u", "postgres", "--", ctl} + all);
    else
        p.start(ctl, all);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A statement as the line's admin, through psql; its output. The results tables go anew with
// dropTables (as if init had never run).
inline QString asAdmin(const QString& sql) {
    QProcess p;
    p.start("psql", {"-Atq", "-v", "ON_ERROR_STOP=1", Admin, "-c",
                     "SET client_min_messages = warning; " + sql});
    p.waitForFinished(30000);
    if (p.exitCode() != 0)
        qWarning("%s: %s", qPrintable(sql), p.readAllStandardError().constData());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
inline int onServer(const char* table) {
    return asAdmin(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
}
inline void dropTables() {
    asAdmin(
        "DROP TABLE IF EXISTS unit_stages, units, run_pauses, run_steps, runs, plans, outbox,"
        " schema_info");
}

// The server gone at once, as a pulled cable or a crash leaves it, and back.
inline bool stopServer() {
    return pgCtl({"-m", "immediate", "stop"});
}
inline bool startServer() {
    return pgCtl({"-l", Env.value("ORVE1_PG_DIR") + "/server.log", "start"});
}

}  // namespace throwaway
