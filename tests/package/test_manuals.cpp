// The manual pages and the programs' own --help list the same options and commands, one
// version runs through programs, pages, changelog and software-centre data, and the icon files
// show the icon the program draws.
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

#include "Version.h"
#include "ui/Icons.h"

namespace {

QString binDir() {
    return qEnvironmentVariable("ORVE1_BIN_DIR");
}

struct Run {
    bool finished = false;
    int status = -1;
    QString out;
    QString err;
};

// Runs a program to its end; one that takes longer than timeoutMs is killed and reported.
Run run(const QString& program, const QStringList& args, int timeoutMs = 10000) {
    QProcess p;
    p.start(program, args);
    Run r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(2000);
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString readText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

// The entries a --help text lists: lines indented by exactly two blanks that start with an
// option or a command word, up to the gap before their explanation ("--port N", "-h, --help",
// "timing N").
QSet<QString> helpEntries(const QString& help) {
    static const QRegularExpression entry(
        QStringLiteral("^  (-[^ ].*?|[a-z][a-z0-9-]*(?: [^ ].*?)?)(?:  |$)"));
    QSet<QString> entries;
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = entry.match(line);
        if (m.hasMatch())
            entries.insert(m.captured(1).simplified());
    }
    return entries;
}

// The arguments of a roff request line, with double quotes grouping blanks.
QStringList roffArguments(const QString& text) {
    QStringList args;
    QString current;
    bool quoted = false;
    bool any = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (any || !current.isEmpty())
                args << current;
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty())
        args << current;
    return args;
}

// The text of a paragraph tag such as ".BI \-\-port " N"" as a reader sees it: "--port N".
QString tagText(const QString& line) {
    QString text;
    if (line.startsWith(QLatin1Char('.'))) {
        const QString request = line.section(QLatin1Char(' '), 0, 0);
        const QStringList args = roffArguments(line.section(QLatin1Char(' '), 1));
        // .B and .I join their arguments with blanks; .BI, .BR, .IR, ... alternate fonts and
        // join them without.
        text = args.join(request.size() == 2 ? QStringLiteral(" ") : QString());
    } else {
        text = line;
    }
    static const QRegularExpression font(QStringLiteral(R"(\\f[BIRP])"));
    text.remove(font);
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    text.replace(QStringLiteral("\\(mu"), QStringLiteral("x"));
    text.remove(QStringLiteral("\\&"));
    return text.simplified();
}

// The tags of the tagged paragraphs (.TP) under the page's OPTIONS, COMMANDS and FAULTS.
QSet<QString> pageEntries(const QString& page) {
    QSet<QString> entries;
    bool listing = false;
    bool tagNext = false;
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH "))) {
            const QString section = line.mid(4).remove(QLatin1Char('"')).trimmed();
            listing = section == QLatin1String("OPTIONS") || section == QLatin1String("COMMANDS") ||
                      section == QLatin1String("FAULTS");
            tagNext = false;
        } else if (listing && line == QLatin1String(".TP")) {
            tagNext = true;
        } else if (tagNext && !line.startsWith(QLatin1String(".\\\""))) {
            entries.insert(tagText(line));
            tagNext = false;
        }
    }
    return entries;
}

QString listed(QSet<QString> set) {
    QStringList list(set.begin(), set.end());
    list.sort();
    return list.join(QStringLiteral(", "));
}

}  // namespace

class TestManuals : public QObject {
    Q_OBJECT

private slots:
    void helpAndPageListTheSame_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("orve1") << "orve1";
        QTest::newRow("orve1ctl") << "orve1ctl";
        QTest::newRow("orve1-sim") << "orve1-sim";
    }
    void helpAndPageListTheSame() {
        QFETCH(QString, program);
        const Run help = run(binDir() + QLatin1Char('/') + program, {QStringLiteral("--help")});
        QVERIFY2(help.finished && help.status == 0, qPrintable(help.err));
        const QSet<QString> fromHelp = helpEntries(help.out);
        const QString page =
            readText(QStringLiteral(ORVE1_MAN_DIR "/") + program + QStringLiteral(".1"));
        QVERIFY2(!page.isEmpty(), "the manual page was not configured");
        const QSet<QString> fromPage = pageEntries(page);
        // The parsers themselves: each side must have found the obvious entries.
        QVERIFY(fromHelp.contains(QStringLiteral("--version")));
        QVERIFY(fromPage.contains(QStringLiteral("--version")));

        const QSet<QString> missingInPage = fromHelp - fromPage;
        const QSet<QString> missingInHelp = fromPage - fromHelp;
        QStringList problems;
        if (!missingInPage.isEmpty())
            problems << QStringLiteral(
                            "%1 --help lists what docs/man/%1.1.in has no tagged "
                            "paragraph for: %2")
                            .arg(program, listed(missingInPage));
        if (!missingInHelp.isEmpty())
            problems << QStringLiteral(
                            "docs/man/%1.1.in has tagged paragraphs that %1 --help "
                            "does not list: %2")
                            .arg(program, listed(missingInHelp));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    // Every place that names a version names the one set in CMakeLists.txt, and the newest
    // changelog entry and software-centre release are that version.
    void oneVersion() {
        const QString version = QStringLiteral(ORVE1_VERSION);
        for (const char* program : {"orve1", "orve1ctl", "orve1-sim"}) {
            const QString name = QLatin1String(program);
            const Run r = run(binDir() + QLatin1Char('/') + name, {QStringLiteral("--version")});
            QVERIFY2(r.finished, program);
            QCOMPARE(r.status, 0);
            QCOMPARE(r.out, name + QLatin1Char(' ') + version + QLatin1Char('\n'));
            const QString page =
                readText(QStringLiteral(ORVE1_MAN_DIR "/") + name + QStringLiteral(".1"));
            QVERIFY2(page.contains(QStringLiteral("\"orve1 ") + version + QLatin1Char('"')),
                     program);
        }
        const QString changelog = readText(QStringLiteral(ORVE1_PACKAGING_SOURCE_DIR "/changelog"));
        QCOMPARE(changelog.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(' '), 0, 1),
                 QStringLiteral("orve1 (%1)").arg(version));
        const QString metainfo =
            readText(QStringLiteral(ORVE1_PACKAGING_BUILD_DIR "/" ORVE1_APP_ID ".metainfo.xml"));
        const QRegularExpressionMatch release =
            QRegularExpression(QStringLiteral("<release version=\"([^\"]*)\"")).match(metainfo);
        QVERIFY(release.hasMatch());
        QCOMPARE(release.captured(1), version);
    }

    // man reads the pages without a complaint (the check lintian makes on a package).
    void pagesFormatCleanly() {
        const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
        if (man.isEmpty())
            QSKIP("man is not installed");
        for (const char* page : {"orve1", "orve1ctl", "orve1-sim"}) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
            env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
            p.setProcessEnvironment(env);
            p.start(man, {QStringLiteral("--warnings"), QStringLiteral("-E"),
                          QStringLiteral("UTF-8"), QStringLiteral("-l"),
                          QStringLiteral(ORVE1_MAN_DIR "/") + QLatin1String(page) +
                              QStringLiteral(".1")});
            QVERIFY2(p.waitForFinished(20000), page);
            QCOMPARE(p.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QString());
            QVERIFY2(p.readAllStandardOutput().contains("SEE ALSO"), page);
        }
    }

    // The PNGs drawn from the SVG look like the icon the program draws at run time.
    void iconFilesShowTheProgramIcon() {
        const QImage file(
            QStringLiteral(ORVE1_PACKAGING_BUILD_DIR "/icons/16x16/" ORVE1_APP_ID ".png"));
        if (file.isNull())
            QSKIP("no icon PNGs: rsvg-convert (librsvg2-bin) was not found");
        const QImage drawn =
            Icons::program().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage png = file.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(png.size(), QSize(16, 16));
        QCOMPARE(drawn.size(), QSize(16, 16));
        // Two renderers antialias edges differently; the colours and shapes must agree.
        double total = 0;
        int worst = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor a = QColor::fromRgba(drawn.pixel(x, y));
                const QColor b = QColor::fromRgba(png.pixel(x, y));
                const int d =
                    std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                              std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
                total += d;
                worst = std::max(worst, d);
            }
        }
        const double mean = total / 256;
        QVERIFY2(mean < 6, qPrintable(QStringLiteral("mean difference %1").arg(mean)));
        QVERIFY2(worst < 128, qPrintable(QStringLiteral("largest difference %1").arg(worst)));
    }
};

QTEST_MAIN(TestManuals)
#include "test_manuals.moc"
