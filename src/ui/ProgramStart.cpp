#include "ui/ProgramStart.h"

#include <QMessageLogContext>
#include <QRegularExpression>
#include <QSettings>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "Version.h"

namespace {

const QString NoDisplayText =
    QStringLiteral("no display (set DISPLAY or WAYLAND_DISPLAY, or run it on a desktop)");

// A message the toolkit gave while starting, kept to be shown once it has started.
struct HeldMessage {
    QtMsgType type;
    QByteArray file;
    QByteArray function;
    QByteArray category;
    int line;
    QString text;
};

std::mutex heldMutex;
std::vector<HeldMessage> heldMessages;
QtMessageHandler previousHandler = nullptr;

void holdingHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    std::lock_guard<std::mutex> lock(heldMutex);
    if (type == QtFatalMsg) {
        QStringList said;
        for (const HeldMessage& m : heldMessages) said << m.text;
        said << text;
        const QByteArray line =
            "orve1: " +
            ProgramStart::toolkitFailure(said, QProcessEnvironment::systemEnvironment())
                .toLocal8Bit() +
            '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        // Ends here rather than in the toolkit's abort, which would leave a core dump behind.
        std::_Exit(ProgramStart::ExitNoDisplay);
    }
    heldMessages.push_back({type, QByteArray(context.file), QByteArray(context.function),
                            QByteArray(context.category), context.line, text});
}

}  // namespace

ProgramStart::Action ProgramStart::parse(const QStringList& args) {
    Action action = Action::Run;
    for (const QString& a : args) {
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return Action::Help;
        if (a == QLatin1String("--version"))
            action = Action::Version;
    }
    return action;
}

QString ProgramStart::usage() {
    return QStringLiteral(
        "usage: orve1 [OPTION]...\n"
        "The ORVE-1 control program: drives an ORVE-1 HDMI/DVI video pattern generator over\n"
        "RS-232 (COM 1..8, 19200 baud, 8N1) from a desktop window: output one of its 35\n"
        "timings or 39 patterns, upload timing and pattern selections and an auto-run\n"
        "programme, restore its defaults, and read, edit, load, save, upload and write its\n"
        "256-byte EDID. The port is chosen each run with Connect; nothing is kept between runs.\n"
        "\n"
        "options:\n"
        "  --station PLAN        run as a line station: connected to the generator, the Test\n"
        "                        Plan window on its Run tab with PLAN, which cannot be edited\n"
        "                        or replaced, and nothing else that changes the generator;\n"
        "                        without PLAN, an open dialog asks for it\n"
        "  --reports DIR         --station: the report folder (default: the plan's reports:)\n"
        "  --operator NAME       --station: the operator's name\n"
        "  --port N              --station: the generator's COM port, 1..8 (default: the\n"
        "                        plan's port:, else 1)\n"
        "  --help                this text\n"
        "  --version             the program's version\n"
        "\n"
        "Qt's own options, such as -platform NAME or -style NAME, are passed to Qt.\n"
        "exit status: 0 closed, 1 no display could be opened, 2 usage error\n"
        "See also orve1ctl(1) for scripts and orve1-sim(1) for a virtual generator.\n");
}

QString ProgramStart::versionLine() {
    return QStringLiteral("orve1 " ORVE1_VERSION "\n");
}

bool ProgramStart::takeStation(QStringList& args, Station& station, QString& error) {
    QStringList rest;
    QStringList given;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString name = a.section(QLatin1Char('='), 0, 0);
        const bool inline_ = a.contains(QLatin1Char('=')) && a.startsWith(QLatin1String("--"));
        if (name == QLatin1String("--station")) {
            station.on = true;
            // The plan may be left out: a shortcut not yet pointed at one.
            if (inline_)
                station.plan = a.section(QLatin1Char('='), 1);
            else if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1Char('-')))
                station.plan = args[++i];
            continue;
        }
        if (name != QLatin1String("--reports") && name != QLatin1String("--operator") &&
            name != QLatin1String("--port")) {
            rest << a;
            continue;
        }
        if (!inline_ && i + 1 >= args.size()) {
            error = QStringLiteral("%1 needs a value (see orve1 --help)").arg(name);
            return false;
        }
        const QString value = inline_ ? a.section(QLatin1Char('='), 1) : args[++i];
        given << name;
        if (name == QLatin1String("--reports")) {
            station.reports = value;
        } else if (name == QLatin1String("--operator")) {
            station.operatorName = value.trimmed();
        } else {
            static const QRegularExpression digit(QStringLiteral("^[1-9]$"));
            station.port = digit.match(value).hasMatch() ? value.toInt() : 0;
            if (station.port < 1 || station.port > MaxPort) {
                error = QStringLiteral("--port '%1' is not 1..%2 (see orve1 --help)")
                            .arg(value)
                            .arg(MaxPort);
                return false;
            }
        }
    }
    if (!station.on && !given.isEmpty()) {
        error = QStringLiteral("%1 goes with --station (see orve1 --help)").arg(given.first());
        return false;
    }
    args = rest;
    return true;
}

QString ProgramStart::leftOverProblem(const QStringList& leftOver) {
    if (leftOver.isEmpty())
        return QString();
    const QString& first = leftOver.first();
    return (first.startsWith(QLatin1Char('-')) ? QStringLiteral("unknown option '%1'")
                                               : QStringLiteral("unexpected argument '%1'"))
               .arg(first) +
           QStringLiteral(" (see orve1 --help)");
}

QString ProgramStart::displayProblem(const QStringList& args, const QProcessEnvironment& env) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QString platform;
    for (int i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("-platform") || args[i] == QLatin1String("--platform"))
            platform = args[i + 1];
    }
    if (platform.isEmpty())
        platform = env.value(QStringLiteral("QT_QPA_PLATFORM"));
    const bool x11 = !env.value(QStringLiteral("DISPLAY")).isEmpty();
    const bool wayland = !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
                         !env.value(QStringLiteral("WAYLAND_SOCKET")).isEmpty();
    if (platform.isEmpty())
        return x11 || wayland ? QString() : NoDisplayText;

    // A list of platforms to try in turn, each maybe with options after a colon.
    QStringList needs;
    for (const QString& entry : platform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0);
        if (name == QLatin1String("xcb")) {
            if (x11)
                return QString();
            needs << QStringLiteral("DISPLAY");
        } else if (name.startsWith(QLatin1String("wayland"))) {
            if (wayland)
                return QString();
            needs << QStringLiteral("WAYLAND_DISPLAY");
        } else {
            // offscreen, vnc, eglfs, ...: chosen on purpose, and no display variable tells.
            return QString();
        }
    }
    if (needs.isEmpty())
        return x11 || wayland ? QString() : NoDisplayText;
    needs.removeDuplicates();
    return QStringLiteral("no display (the platform \"%1\" needs %2; or run it on a desktop)")
        .arg(platform, needs.join(QStringLiteral(" or ")));
#else
    Q_UNUSED(args);
    Q_UNUSED(env);
    return QString();
#endif
}

QString ProgramStart::toolkitFailure(const QStringList& said, const QProcessEnvironment& env) {
    // Qt 6 says, in this order: a plugin it has not got ("Could not find ..."), an X server
    // that refused ("could not connect to display ..."), a plugin it has but that could not
    // start ("Could not load ... even though it was found"), then the fatal advice.
    static const QRegularExpression missing(
        QStringLiteral("Could not find the Qt platform plugin \"([^\"]*)\""));
    static const QRegularExpression unstarted(
        QStringLiteral("Could not load the Qt platform plugin \"([^\"]*)\""));
    QStringList reasons;
    bool x11Refused = false;
    auto add = [&reasons](const QString& reason) {
        if (!reasons.contains(reason))
            reasons << reason;
    };
    for (const QString& text : said) {
        if (text.contains(QLatin1String("could not connect to display"))) {
            x11Refused = true;
            const QString display = env.value(QStringLiteral("DISPLAY"));
            add(display.isEmpty() ? QStringLiteral("no X display (DISPLAY is not set)")
                                  : QStringLiteral("cannot open the X display \"%1\" (no X "
                                                   "server there, or this user may not use it)")
                                        .arg(display));
        }
        QRegularExpressionMatch m = missing.match(text);
        if (m.hasMatch()) {
            add(m.captured(1).startsWith(QLatin1String("wayland"))
                    ? QStringLiteral("Qt's Wayland support is not installed (qt6-wayland)")
                    : QStringLiteral("Qt's platform plugin \"%1\" is not installed")
                          .arg(m.captured(1)));
        }
        m = unstarted.match(text);
        if (m.hasMatch() && !(x11Refused && m.captured(1) == QLatin1String("xcb")))
            add(QStringLiteral("Qt's platform plugin \"%1\" could not be started")
                    .arg(m.captured(1)));
    }
    if (reasons.isEmpty()) {
        const QString last = said.isEmpty() ? QString() : said.last();
        reasons << QStringLiteral("the toolkit could not start: ") +
                       last.section(QLatin1Char('\n'), 0, 0).trimmed();
    }
    return reasons.join(QStringLiteral("; "));
}

void ProgramStart::holdToolkitMessages() {
    previousHandler = qInstallMessageHandler(holdingHandler);
}

void ProgramStart::toolkitStarted() {
    qInstallMessageHandler(previousHandler);
    std::vector<HeldMessage> held;
    {
        std::lock_guard<std::mutex> lock(heldMutex);
        held.swap(heldMessages);
    }
    for (const HeldMessage& m : held) {
        const QMessageLogContext context(m.file.isNull() ? nullptr : m.file.constData(), m.line,
                                         m.function.isNull() ? nullptr : m.function.constData(),
                                         m.category.isNull() ? nullptr : m.category.constData());
        previousHandler(m.type, context, m.text);
    }
}

void ProgramStart::keepNoSettings() {
#ifdef Q_OS_UNIX
    // A folder that can never be made (not even by root): the settings are neither read nor
    // written, and the dialog starts the same on every run.
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
#endif
}
