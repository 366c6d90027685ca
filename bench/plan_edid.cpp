// A unit's EDID programmed inside a test plan against what EDID > Production and orve1ctl
// edid-provision take for it: the same golden EDID on orve1-sim, once through edid-provision and
// once as the only step of a plan (orve1ctl plan --auto), each timed from start to exit.
//     bench_plan_edid [ROUNDS]     (default 2 of each)
// Target: the plan's edid step within 0.5 s of edid-provision.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Port = 7;
constexpr double TargetExtraMs = 500;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs orve1ctl and returns its wall time in ms, or -1 when it failed.
double timed(const QProcessEnvironment& env, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/orve1ctl"), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_plan_edid: orve1ctl %s failed:\n%s%s\n",
                     qPrintable(args.join(' ')), p.readAllStandardOutput().constData(),
                     p.readAllStandardError().constData());
        return -1;
    }
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    QProcess sim;
    sim.setProcessEnvironment(env);
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/orve1-sim"),
              {QStringLiteral("--port"), QString::number(Port)});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_plan_edid: orve1-sim did not start\n");
        return 1;
    }
    const QString golden = dir.filePath(QStringLiteral("golden.bin"));
    QFile::copy(QStringLiteral(ORVE1_BENCH_GOLDEN), golden);
    QFile plan(dir.filePath(QStringLiteral("edid.txt")));
    plan.open(QIODevice::WriteOnly);
    plan.write("name: EDID only\n- - edid golden.bin\n");
    plan.close();
    const QString port = QString::number(Port);
    std::vector<double> provision;
    std::vector<double> step;
    for (int i = 0; i < rounds; ++i) {
        const QString serial = QStringLiteral("B-%1").arg(i);
        const double a = timed(env, {"--port", port, "edid-provision", golden, "--serial-text",
                                     serial, "--log", dir.filePath(QStringLiteral("log.csv"))});
        const double b = timed(env, {"--port", port, "plan", plan.fileName(), "--auto", "--serial",
                                     serial, "--report", dir.path()});
        if (a < 0 || b < 0)
            return 1;
        provision.push_back(a);
        step.push_back(b);
    }
    sim.terminate();
    sim.waitForFinished(3000);
    const double extra = median(step) - median(provision);
    std::printf("one unit's EDID on orve1-sim, orve1ctl start to exit (n=%d each)\n", rounds);
    std::printf("edid-provision:         median %7.0f ms\n", median(provision));
    std::printf("plan with an edid step: median %7.0f ms  (%+.0f ms, target < %+.0f ms)\n",
                median(step), extra, TargetExtraMs);
    return 0;
}
