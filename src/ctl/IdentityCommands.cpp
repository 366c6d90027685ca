#include "ctl/IdentityCommands.h"

#include <QDate>
#include <QObject>
#include <algorithm>
#include <cstdio>

#include "ctl/ConsoleView.h"
#include "edid/EdidHeader.h"
#include "edid/EdidInfo.h"
#include "edid/EdidText.h"
#include "files/SafeFile.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"
#include "production/SerialFormat.h"

namespace {

// Columns: option, the commands it goes with ("patch" also means provision).
struct IdentityOption {
    const char* name;
    bool provisionOnly;
};
constexpr IdentityOption Options[] = {
    {"--serial-text", false}, {"--serial-number", false}, {"--date", false},
    {"--name", false},        {"--vendor", false},        {"--product", false},
    {"--log", true},          {"--serial-format", true},
};

QString optionName(const QString& arg) {
    const qsizetype eq = arg.indexOf(QLatin1Char('='));
    return eq < 0 ? arg : arg.left(eq);
}

// The EDID of a file in any form edid-info reads, as 256 bytes and whole. Only a sound EDID is
// patched; its identity is shown whenever the header is there.
bool loadEdid(const QString& path, bool sound, QByteArray& bytes, EdidImage& image,
              QString& error) {
    if (!EdidText::loadFile(path, bytes, error))
        return false;
    image.fill(0);
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), qsizetype(image.size())),
                image.begin());
    const QString problem = GoldenEdid::problem(image, bytes.size());
    if (!problem.isEmpty() &&
        (sound || !EdidHeader::present(image) || bytes.size() < EdidInfo::BlockSize)) {
        error = QStringLiteral("%1: not a sound EDID: %2").arg(path, problem);
        return false;
    }
    return true;
}

void printLine(std::FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
}

}  // namespace

bool IdentityCommands::isOption(const QString& arg) {
    const QString name = optionName(arg);
    return std::any_of(std::begin(Options), std::end(Options),
                       [&](const IdentityOption& o) { return name == QLatin1String(o.name); });
}

bool IdentityCommands::takeOption(const QString& name, const QString& value, CtlRequest& out,
                                  QString& error) {
    out.identityOptions << name;
    IdentityRecipe& r = out.recipe;
    if (name == QLatin1String("--serial-text")) {
        const QString problem = EdidIdentity::textProblem(value);
        if (value.isEmpty() || !problem.isEmpty()) {
            error = QStringLiteral("--serial-text: the serial %1")
                        .arg(value.isEmpty() ? QStringLiteral("is empty") : problem);
            return false;
        }
        out.serialText = value;
        return true;
    }
    if (name == QLatin1String("--serial-number"))
        return r.parseNumber(value, error);
    if (name == QLatin1String("--date"))
        return r.parseDate(value, error);
    if (name == QLatin1String("--product"))
        return r.parseProduct(value, error);
    if (name == QLatin1String("--log")) {
        out.logFile = value;
        return true;
    }
    if (name == QLatin1String("--serial-format")) {
        const QString problem = SerialFormat::problem(value);
        if (!problem.isEmpty()) {
            error = QStringLiteral("--serial-format: ") + problem;
            return false;
        }
        out.serialFormat = value;
        return true;
    }
    const bool vendor = name == QLatin1String("--vendor");
    const QString problem =
        vendor ? EdidIdentity::vendorProblem(value) : EdidIdentity::textProblem(value);
    if (!problem.isEmpty()) {
        error = name + QStringLiteral(": ") + problem;
        return false;
    }
    (vendor ? r.vendor : r.name) = value;
    return true;
}

bool IdentityCommands::check(const QStringList& operands, CtlRequest& out, QString& error) {
    const bool patch = out.kind == CtlRequest::Kind::EdidPatch;
    const bool provision = out.kind == CtlRequest::Kind::EdidProvision;
    for (const QString& given : out.identityOptions) {
        const auto* option =
            std::find_if(std::begin(Options), std::end(Options),
                         [&](const IdentityOption& o) { return given == QLatin1String(o.name); });
        if (!(provision || (patch && !option->provisionOnly))) {
            error = QStringLiteral("'%1' goes with %2 only")
                        .arg(given, option->provisionOnly
                                        ? QStringLiteral("edid-provision")
                                        : QStringLiteral("edid-patch and edid-provision"));
            return false;
        }
    }
    if (!patch && !provision)
        return true;
    out.file = operands.value(0);
    out.otherFile = operands.value(1);
    if (out.recipe.number == IdentityRecipe::Number::Digits && out.serialText.isEmpty()) {
        error = QStringLiteral("--serial-number digits needs --serial-text");
        return false;
    }
    if (patch)
        return true;  // the files are read when it runs: what is wrong with them is its answer
    if (out.serialText.isEmpty() || out.logFile.isEmpty()) {
        error = QStringLiteral("edid-provision needs --serial-text and --log");
        return false;
    }
    // A stray scan or another product's label is refused before anything is sent or logged.
    if (!SerialFormat::accepts(out.serialFormat, out.serialText)) {
        error = QStringLiteral("--serial-text '%1' does not match --serial-format '%2'")
                    .arg(out.serialText, out.serialFormat);
        return false;
    }
    const QString logProblem = SafeFile::writeProblem(out.logFile);
    if (!logProblem.isEmpty()) {
        error = QStringLiteral("cannot write the log: ") + logProblem;
        return false;
    }
    if (!GoldenEdid::load(out.file, out.golden, error))
        return false;
    // A serial that cannot make this EDID's identity is refused before anything is sent.
    EdidImage image = out.golden.image;
    return out.recipe.apply(image, out.serialText, QDate::currentDate(), error);
}

int IdentityCommands::identity(const QString& path, QString& out, QString& err) {
    QByteArray bytes;
    EdidImage image{};
    if (!loadEdid(path, false, bytes, image, err))
        return BadInput;
    out = EdidIdentity::lines(image).join(QLatin1Char('\n')) + QLatin1Char('\n');
    return Done;
}

int IdentityCommands::patch(const CtlRequest& request, QString& out, QString& err) {
    QByteArray bytes;
    EdidImage image{};
    if (!loadEdid(request.file, true, bytes, image, err))
        return BadInput;
    const EdidImage before = image;
    QString error;
    if (!request.recipe.apply(image, request.serialText, QDate::currentDate(), error)) {
        err = QStringLiteral("%1: %2").arg(request.file, error);
        return BadInput;
    }
    // Only block 0 changes; a longer EDID keeps its other blocks.
    std::copy_n(image.begin(), EdidInfo::BlockSize, bytes.begin());
    if (!SafeFile::replace(request.otherFile, bytes, error)) {
        err = QStringLiteral("cannot write ") + error;
        return BadInput;
    }
    QStringList lines = EdidIdentity::lines(image);
    const int changed =
        int(std::mismatch(before.begin(), before.end(), image.begin()).first - before.begin());
    lines << (changed == int(before.size())
                  ? QStringLiteral("No byte changed.")
                  : QStringLiteral("Written to %1.").arg(request.otherFile));
    out = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return Done;
}

void IdentityCommands::report(ProductionRun& run, ConsoleView& view) {
    QObject::connect(&run, &ProductionRun::stageEnded, &run,
                     [&run, &view](ProductionRun::Stage stage, bool ok, const QString& text) {
                         view.endProgress();
                         const qint64 ms = run.outcome().stageMs[int(stage)];
                         printLine(ok ? stdout : stderr,
                                   QStringLiteral("%1 %2 s  %3")
                                       .arg(ProductionRun::stageName(stage), -10)
                                       .arg(ms / 1000.0, 6, 'f', 2)
                                       .arg(text));
                     });
    QObject::connect(&run, &ProductionRun::finished, &run, [&run] {
        const ProductionRun::Outcome& o = run.outcome();
        if (o.pass)
            printLine(stdout, QStringLiteral("PASS"));
        else
            printLine(stderr, QStringLiteral("FAIL at %1: %2")
                                  .arg(ProductionRun::stageName(o.failedStage), o.message));
        if (!o.logged)
            printLine(
                stderr,
                QStringLiteral("orve1ctl: the log line could not be written: %1").arg(o.logError));
    });
}

int IdentityCommands::status(const ProductionRun& run) {
    return run.outcome().pass && run.outcome().logged ? 0 : 1;
}
