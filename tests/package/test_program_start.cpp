// orve1 before its first window: a missing or unreachable display ends it with one line and a
// status, never the toolkit's abort; stray arguments are refused; and a run leaves nothing
// behind in the user's folders.
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Version.h"
#include "ui/ProgramStart.h"

namespace {

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, const char*>> set) {
    QProcessEnvironment env;
    for (const auto& [name, value] : set) env.insert(QLatin1String(name), QLatin1String(value));
    return env;
}

// Everything below dir, as paths relative to it.
QStringList contents(const QString& dir) {
    QStringList found;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) found << QDir(dir).relativeFilePath(it.next());
    return found;
}

struct Run {
    bool finished = false;
    bool crashed = false;
    int status = -1;
    QString out;
    QString err;
};

// orve1 with the given environment; a run that takes longer than timeoutMs is killed. With
// ORVE1_EXIT_AFTER_SHOW set, orve1-stage (the same program, which ends once its main window is
// shown) takes its place.
Run runProgram(const QStringList& args, const QProcessEnvironment& env, int timeoutMs = 15000) {
    QProcess p;
    p.setProcessEnvironment(env);
    const bool staged = env.contains(QStringLiteral("ORVE1_EXIT_AFTER_SHOW"));
    p.start(qEnvironmentVariable("ORVE1_BIN_DIR") +
                (staged ? QStringLiteral("/orve1-stage") : QStringLiteral("/orve1")),
            args);
    Run r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(2000);
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The caller's environment without any display, platform choice or user folders.
QProcessEnvironment bareEnvironment(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME",
          "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "ORVE1_SHOW"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("HOME"), home);
    return env;
}

// An X display number with no server behind it.
QString unusedDisplay() {
    for (int n = 4097; n < 4200; ++n) {
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return QStringLiteral(":%1").arg(n);
    }
    return QString();
}

}  // namespace

class TestProgramStart : public QObject {
    Q_OBJECT

public:
    explicit TestProgramStart(const QString& configHome) : configHome_(configHome) {}

private slots:
    void judgesTheDisplay() {
        const QStringList none;
        // Nothing to open at all.
        QVERIFY(!ProgramStart::displayProblem(none, environment({})).isEmpty());
        QVERIFY(!ProgramStart::displayProblem(none, environment({{"DISPLAY", ""}})).isEmpty());
        // Either kind of display will do when no platform is chosen.
        QVERIFY(ProgramStart::displayProblem(none, environment({{"DISPLAY", ":0"}})).isEmpty());
        QVERIFY(ProgramStart::displayProblem(none, environment({{"WAYLAND_DISPLAY", "wayland-0"}}))
                    .isEmpty());
        // A chosen platform needs its own kind of display ...
        const QString x11Only = ProgramStart::displayProblem(
            none, environment({{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}}));
        QVERIFY(x11Only.contains(QLatin1String("DISPLAY")));
        QVERIFY(ProgramStart::displayProblem(
                    none, environment({{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}))
                    .contains(QLatin1String("WAYLAND_DISPLAY")));
        // ... or one of a list, options after a colon and all.
        QVERIFY(
            ProgramStart::displayProblem(
                none, environment({{"QT_QPA_PLATFORM", "wayland;xcb:nograb"}, {"DISPLAY", ":0"}}))
                .isEmpty());
        // Platforms that need no display variable are the caller's business, from the
        // environment or the command line (which wins).
        QVERIFY(ProgramStart::displayProblem(none, environment({{"QT_QPA_PLATFORM", "offscreen"}}))
                    .isEmpty());
        QVERIFY(ProgramStart::displayProblem({QStringLiteral("-platform"), QStringLiteral("vnc")},
                                             environment({{"QT_QPA_PLATFORM", "xcb"}}))
                    .isEmpty());
        QVERIFY(!ProgramStart::displayProblem({QStringLiteral("--platform"), QStringLiteral("xcb")},
                                              environment({{"QT_QPA_PLATFORM", "offscreen"}}))
                     .isEmpty());
    }

    // What Qt 6 says before it gives up, turned into the cause an operator can act on.
    void toolkitFailureNamesTheCause() {
        const QString fatal = QStringLiteral(
            "This application failed to start because no Qt platform plugin could be "
            "initialized. Reinstalling the application may fix this problem.\n\nAvailable "
            "platform plugins are: xcb, offscreen.");
        const QString x11 = ProgramStart::toolkitFailure(
            {QStringLiteral("could not connect to display :99"),
             QStringLiteral("Could not load the Qt platform plugin \"xcb\" in \"\" even though "
                            "it was found."),
             fatal},
            environment({{"DISPLAY", ":99"}}));
        QCOMPARE(x11, QStringLiteral("cannot open the X display \":99\" (no X server there, or "
                                     "this user may not use it)"));

        // A Wayland desktop without Qt's Wayland plugin, and no X server to fall back on.
        const QString wayland = ProgramStart::toolkitFailure(
            {QStringLiteral("Could not find the Qt platform plugin \"wayland\" in \"\""),
             QStringLiteral("could not connect to display "),
             QStringLiteral("Could not load the Qt platform plugin \"xcb\" in \"\" even though "
                            "it was found."),
             fatal},
            environment({{"WAYLAND_DISPLAY", "wayland-0"}}));
        QCOMPARE(wayland, QStringLiteral("Qt's Wayland support is not installed (qt6-wayland); "
                                         "no X display (DISPLAY is not set)"));

        const QString unknown = ProgramStart::toolkitFailure({fatal}, environment({}));
        QVERIFY(unknown.startsWith(QLatin1String("the toolkit could not start: This application")));
        QVERIFY(!unknown.contains(QLatin1Char('\n')));
    }

    void endsWithOneLineWithoutDisplay() {
        QTemporaryDir home;
        const QProcessEnvironment bare = bareEnvironment(home.path());

        Run r = runProgram({}, bare);
        QVERIFY(r.finished);
        QVERIFY(!r.crashed);
        QCOMPARE(r.status, ProgramStart::ExitNoDisplay);
        QCOMPARE(r.err, QStringLiteral("orve1: no display (set DISPLAY or WAYLAND_DISPLAY, or "
                                       "run it on a desktop)\n"));
        QCOMPARE(r.out, QString());

        // A display that is named but not there: caught while the toolkit starts.
        const QString display = unusedDisplay();
        QVERIFY(!display.isEmpty());
        QProcessEnvironment stale = bare;
        stale.insert(QStringLiteral("DISPLAY"), display);
        stale.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        r = runProgram({}, stale);
        QVERIFY(r.finished);
        QVERIFY2(!r.crashed, qPrintable(r.err));
        QCOMPARE(r.status, ProgramStart::ExitNoDisplay);
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(r.err.startsWith(
                     QStringLiteral("orve1: cannot open the X display \"%1\"").arg(display)),
                 qPrintable(r.err));

        // What needs no display still works without one.
        r = runProgram({QStringLiteral("--version")}, bare);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("orve1 " ORVE1_VERSION "\n"));
        r = runProgram({QStringLiteral("--help")}, bare);
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith(QLatin1String("usage: orve1")));

        // Leave nothing behind: no core dump, no settings.
        QCOMPARE(contents(home.path()), QStringList());
    }

    // --station and its options, wherever they stand; the plan may be left out.
    void stationOptions() {
        // Columns: arguments, what is left for the usage check | plan | reports | operator |
        // port, or "!" and the start of the error.
        const QList<QPair<QStringList, QString>> rows = {
            {{"--station", "p.txt", "--port", "3", "-style", "x"}, "-style x|p.txt|||3"},
            {{"--operator=Ann Lee", "--station=p.txt", "--reports", "out"}, "|p.txt|out|Ann Lee|0"},
            {{"--station", "--operator", "Ann"}, "|||Ann|0"},
            {{"--reports", "out"}, "!--reports goes with --station"},
            {{"--station", "p.txt", "--port", "9"}, "!--port '9' is not 1..8"},
            {{"--station", "p.txt", "--port"}, "!--port needs a value"},
        };
        for (const auto& [args, expected] : rows) {
            QStringList rest = args;
            ProgramStart::Station s;
            QString error;
            const QString got = ProgramStart::takeStation(rest, s, error)
                                    ? QStringList{rest.join(' '), s.plan, s.reports, s.operatorName,
                                                  QString::number(s.port)}
                                          .join('|')
                                    : "!" + error;
            QVERIFY2(got.startsWith(expected) && s.on == args.join(' ').contains("--station"),
                     qPrintable(args.join(' ') + ": " + got));
        }
    }

    void refusesStrayArguments() {
        QTemporaryDir home;
        QTemporaryDir runtime;
        QProcessEnvironment env = bareEnvironment(home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        Run r = runProgram({QStringLiteral("--bogus")}, env);
        QCOMPARE(r.status, ProgramStart::ExitUsage);
        QCOMPARE(r.err, QStringLiteral("orve1: unknown option '--bogus' (see orve1 --help)\n"));
        r = runProgram({QStringLiteral("monitor.bin")}, env);
        QCOMPARE(r.status, ProgramStart::ExitUsage);
        QCOMPARE(r.err,
                 QStringLiteral("orve1: unexpected argument 'monitor.bin' (see orve1 --help)\n"));
        // Qt's own options are Qt's: the program starts (and ends itself once shown).
        env.insert(QStringLiteral("ORVE1_EXIT_AFTER_SHOW"), QStringLiteral("1"));
        r = runProgram({QStringLiteral("-style"), QStringLiteral("fusion")}, env, 30000);
        QVERIFY(r.finished);
        QCOMPARE(r.status, 0);
    }

    // A start and a normal end write nothing into the user's folders or the runtime folder.
    void startAndEndLeaveNothingBehind() {
        QTemporaryDir home;
        QTemporaryDir runtime;
        QProcessEnvironment env = bareEnvironment(home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("ORVE1_EXIT_AFTER_SHOW"), QStringLiteral("1"));
        const Run r = runProgram({}, env, 30000);
        QVERIFY(r.finished);
        QCOMPARE(r.status, 0);
        // fontconfig may refresh its own cache of the system's fonts; that is the library's,
        // shared by every program, not something this one keeps.
        QStringList left = contents(home.path());
        left.removeIf([](const QString& path) {
            return path == QLatin1String(".cache") ||
                   path.startsWith(QLatin1String(".cache/fontconfig"));
        });
        QCOMPARE(left, QStringList());
        QCOMPARE(contents(runtime.path()), QStringList());
    }

    // Qt's file dialog saves its history when it goes; with the program's setting it has
    // nowhere to save it, and the next run's dialog starts the same.
    void fileDialogKeepsNothing() {
        ProgramStart::keepNoSettings();
        auto* dialog = new QFileDialog(nullptr, QStringLiteral("Open"));
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setDirectory(QDir::tempPath());
        QTimer::singleShot(0, dialog, &QDialog::reject);
        QElapsedTimer clock;
        clock.start();
        dialog->exec();
        delete dialog;
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(contents(configHome_), QStringList());
    }

private:
    QString configHome_;
};

int main(int argc, char** argv) {
    // Qt's settings follow XDG_CONFIG_HOME as it is when they are first used.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    TestProgramStart test(configHome.path());
    return QTest::qExec(&test, argc, argv);
}

#include "test_program_start.moc"
