#include "plan/PlanFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include "files/SafeFile.h"
#include "pattern/PatternTable.h"
#include "production/GoldenEdid.h"
#include "production/SerialFormat.h"
#include "timing/TimingTable.h"

namespace {

const QString SameWord = QStringLiteral("same");
const QString KeepWord = QStringLiteral("-");
const QString JudgeWord = QStringLiteral("judge");
const QString EdidWord = QStringLiteral("edid");
constexpr int Bad = -3;

// Columns: option word, its values in the order of the step's enum (the first the default),
// how many values.
struct EdidOption {
    const char* name;
    const char* values[3];
    int count;
};
constexpr EdidOption EdidOptions[] = {
    {"serial-text", {"scan", "golden", nullptr}, 2},
    {"serial-number", {"digits", "golden", "0"}, 3},
    {"date", {"week", "golden", nullptr}, 2},
};
constexpr int EdidOptionCount = int(sizeof(EdidOptions) / sizeof(EdidOptions[0]));

int edidChoice(const PlanStep& s, int option) {
    switch (option) {
        case 0:
            return int(s.serialText);
        case 1:
            return int(s.serialNumber);
        default:
            return int(s.date);
    }
}

void setEdidChoice(PlanStep& s, int option, int value) {
    switch (option) {
        case 0:
            s.serialText = PlanStep::SerialText(value);
            break;
        case 1:
            s.serialNumber = PlanStep::SerialNumber(value);
            break;
        default:
            s.date = PlanStep::Date(value);
    }
}

QString optionValues(const EdidOption& o) {
    QStringList values;
    for (int v = 0; v < o.count; ++v) values << QLatin1String(o.values[v]);
    return values.join(QLatin1Char('|'));
}

// A number low..high, "same" (-> PlanStep::Same) or "-" (-> PlanStep::Keep); Bad for anything
// else.
int readChoice(const QString& word, int high) {
    if (word.compare(SameWord, Qt::CaseInsensitive) == 0)
        return PlanStep::Same;
    if (word == KeepWord)
        return PlanStep::Keep;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(word).hasMatch())
        return Bad;
    const int n = word.toInt();
    return n >= 1 && n <= high ? n - 1 : Bad;
}

bool readMode(const QString& word, PlanStep& step) {
    if (word.compare(JudgeWord, Qt::CaseInsensitive) == 0) {
        step.mode = PlanStep::Mode::Judge;
        return true;
    }
    if (word.compare(EdidWord, Qt::CaseInsensitive) == 0) {
        step.mode = PlanStep::Mode::Edid;
        return true;
    }
    static const QRegularExpression timed(QStringLiteral("^([0-9]{1,2})([sSmM])$"));
    const QRegularExpressionMatch m = timed.match(word);
    if (!m.hasMatch())
        return false;
    const int n = m.captured(1).toInt();
    if (n < PlanStep::MinShowTime || n > PlanStep::MaxShowTime)
        return false;
    step.mode = PlanStep::Mode::Timed;
    step.showTime = n;
    step.unit = m.captured(2).compare(QStringLiteral("m"), Qt::CaseInsensitive) == 0
                    ? PlanStep::Unit::Minutes
                    : PlanStep::Unit::Seconds;
    return true;
}

// The rest of an edid step's line: GOLDEN (in double quotes when it holds blanks), then the
// options. "" when read, else what is wrong.
QString readEdidStep(const QString& rest, PlanStep& step) {
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    if (rest.isEmpty())
        return QStringLiteral("the edid step needs its golden EDID file: - - edid FILE");
    QString options;
    if (rest.startsWith(QLatin1Char('"'))) {
        const qsizetype close = rest.indexOf(QLatin1Char('"'), 1);
        if (close < 0)
            return QStringLiteral("the golden file's name has no closing \"");
        step.golden = rest.mid(1, close - 1);
        options = rest.mid(close + 1);
        if (!options.isEmpty() && !options.at(0).isSpace())
            return QStringLiteral("a blank must follow the golden file's closing \"");
    } else {
        step.golden = rest.section(blanks, 0, 0);
        options = rest.section(blanks, 1);
    }
    if (step.golden.trimmed().isEmpty())
        return QStringLiteral("the golden file's name is empty");
    if (step.golden.contains(QLatin1Char('"')))
        return QStringLiteral("the golden file's name cannot hold a \"");
    bool given[EdidOptionCount] = {};
    for (const QString& word : options.split(blanks, Qt::SkipEmptyParts)) {
        const QString key = word.section(QLatin1Char('='), 0, 0);
        const QString value = word.section(QLatin1Char('='), 1);
        int o = 0;
        while (o < EdidOptionCount && key != QLatin1String(EdidOptions[o].name)) ++o;
        if (o == EdidOptionCount || !word.contains(QLatin1Char('=')))
            return QStringLiteral(
                       "'%1' is not an option of an edid step (serial-text=, serial-number= or "
                       "date=)")
                .arg(word);
        if (given[o])
            return QStringLiteral("%1= is given twice").arg(key);
        given[o] = true;
        int v = 0;
        while (v < EdidOptions[o].count && value != QLatin1String(EdidOptions[o].values[v])) ++v;
        if (v == EdidOptions[o].count)
            return QStringLiteral("'%1' is not %2=%3").arg(word, key, optionValues(EdidOptions[o]));
        setEdidChoice(step, o, v);
    }
    return QString();
}

QString choiceText(int value) {
    if (value == PlanStep::Same)
        return SameWord;
    return value == PlanStep::Keep ? KeepWord : QString::number(value + 1);
}

// The settings that follow the name. Columns: key, what the file calls it in messages.
struct Setting {
    const char* key;
    const char* what;
};
constexpr Setting Settings[] = {
    {"reports", "the report folder"}, {"defects", "the defect list"},
    {"serial", "the serial format"},  {"on-fail", "on-fail"},
    {"results", "the results place"}, {"port", "the port"},
};

}  // namespace

bool PlanFile::parse(const QByteArray& bytes, Plan& plan, QString& error) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        const QList<QByteArray> lines = bytes.split('\n');
        int bad = 0;
        while (bad + 1 < lines.size() && QString::fromUtf8(lines[bad]).toUtf8() == lines[bad])
            ++bad;
        error = QStringLiteral("line %1: not UTF-8 text").arg(bad + 1);
        return false;
    }
    if (text.startsWith(QChar(0xFEFF)))  // the mark some Windows editors put first
        text.remove(0, 1);

    Plan read;
    bool named = false;
    QStringList givenSettings;
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    static const QRegularExpression setting(QStringLiteral("^([A-Za-z][A-Za-z-]*)[ \\t]*:(.*)$"));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString where = QStringLiteral("line %1: ").arg(i + 1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        auto refuse = [&](const QString& what) {
            error = where + what;
            return false;
        };
        const QRegularExpressionMatch m = setting.match(trimmed);
        if (m.hasMatch()) {
            const QString key = m.captured(1).toLower();
            const QString value = m.captured(2).trimmed();
            if (key == QLatin1String("name")) {
                if (named)
                    return refuse(QStringLiteral("the plan already has a name"));
                if (!read.steps.isEmpty())
                    return refuse(QStringLiteral("the name must come before the first step"));
                if (value.isEmpty())
                    return refuse(QStringLiteral("the name is empty"));
                read.name = value;
                named = true;
                continue;
            }
            const Setting* s = nullptr;
            for (const Setting& candidate : Settings)
                if (key == QLatin1String(candidate.key))
                    s = &candidate;
            if (!s)
                return refuse(QStringLiteral("unknown setting '%1' (name, reports, defects, "
                                             "serial, on-fail, results or port)")
                                  .arg(m.captured(1)));
            const QString what = QLatin1String(s->what);
            if (givenSettings.contains(key))
                return refuse(QStringLiteral("%1 is given twice").arg(what));
            givenSettings << key;
            // The report folder may stand anywhere, as it always could; the others describe
            // the whole run and come first.
            if (key != QLatin1String("reports") && !read.steps.isEmpty())
                return refuse(
                    QStringLiteral("the %1: line must come before the first step").arg(key));
            if (value.isEmpty())
                return refuse(QStringLiteral("%1 is empty").arg(what));
            if (key == QLatin1String("reports")) {
                read.reportFolder = value;
            } else if (key == QLatin1String("defects")) {
                read.defects = Plan::splitDefects(value);
                const QString problem = Plan::defectsProblem(read.defects);
                if (!problem.isEmpty())
                    return refuse(problem);
            } else if (key == QLatin1String("serial")) {
                const QString problem = SerialFormat::problem(value);
                if (!problem.isEmpty())
                    return refuse(QStringLiteral("the serial format ") + problem);
                read.serialFormat = value;
            } else if (key == QLatin1String("on-fail")) {
                if (value != QLatin1String("stop") && value != QLatin1String("continue"))
                    return refuse(
                        QStringLiteral("on-fail '%1' is not stop or continue").arg(value));
                read.onFail =
                    value == QLatin1String("stop") ? Plan::OnFail::Stop : Plan::OnFail::Continue;
            } else if (key == QLatin1String("results")) {
                read.results = value;
            } else {
                static const QRegularExpression digit(QStringLiteral("^[0-9]$"));
                read.port = digit.match(value).hasMatch() ? value.toInt() : 0;
                if (read.port < 1 || read.port > Plan::MaxPort)
                    return refuse(QStringLiteral("port '%1' is not a COM port 1..%2")
                                      .arg(value)
                                      .arg(Plan::MaxPort));
            }
            continue;
        }
        const QStringList words = trimmed.split(blanks);
        PlanStep step;
        step.line = i + 1;
        step.timing = readChoice(words[0], TimingCount);
        if (step.timing == Bad)
            return refuse(QStringLiteral("'%1' is not a timing (1..%2, same or -)")
                              .arg(words[0])
                              .arg(TimingCount));
        if (words.size() < 2)
            return refuse(QStringLiteral("the pattern is missing after the timing"));
        step.pattern = readChoice(words[1], PatternCount);
        if (step.pattern == Bad)
            return refuse(QStringLiteral("'%1' is not a pattern (1..%2, same or -)")
                              .arg(words[1])
                              .arg(PatternCount));
        if (words.size() < 3)
            return refuse(QStringLiteral("the mode is missing: judge, or a show time such as 5s"));
        if (!readMode(words[2], step))
            return refuse(QStringLiteral("'%1' is not judge, edid or a show time 1..59 with s or "
                                         "m (5s, 2m)")
                              .arg(words[2]));
        // The instruction is the rest of the line as written, blanks inside kept.
        int at = 0;
        for (int w = 0; w < 3; ++w) {
            at = int(line.indexOf(words[w], at)) + int(words[w].size());
        }
        const QString rest = line.mid(at).trimmed();
        if (!named)
            return refuse(QStringLiteral("a \"name:\" line must come before the first step"));
        if (step.mode == PlanStep::Mode::Edid) {
            if (step.timing != PlanStep::Keep || step.pattern != PlanStep::Keep)
                return refuse(QStringLiteral(
                    "an edid step sends no timing or pattern: write it - - edid FILE"));
            const QString problem = readEdidStep(rest, step);
            if (!problem.isEmpty())
                return refuse(problem);
        } else {
            step.instruction = rest;
        }
        bool timingBefore = false;
        bool patternBefore = false;
        for (const PlanStep& s : read.steps) {
            timingBefore = timingBefore || s.timing >= 0;
            patternBefore = patternBefore || s.pattern >= 0;
        }
        if (step.timing == PlanStep::Same && !timingBefore)
            return refuse(read.steps.isEmpty()
                              ? QStringLiteral("the first step cannot keep the \"same\" timing")
                              : QStringLiteral("\"same\" timing, but no step before it names one"));
        if (step.pattern == PlanStep::Same && !patternBefore)
            return refuse(
                read.steps.isEmpty()
                    ? QStringLiteral("the first step cannot keep the \"same\" pattern")
                    : QStringLiteral("\"same\" pattern, but no step before it names one"));
        if (step.mode == PlanStep::Mode::Judge && step.instruction.isEmpty())
            return refuse(QStringLiteral("a judged step needs an instruction for the operator"));
        if (read.steps.size() == Plan::MaxSteps)
            return refuse(QStringLiteral("more than %1 steps").arg(Plan::MaxSteps));
        read.steps << step;
    }
    if (read.steps.isEmpty()) {
        error = QStringLiteral("line %1: the plan has no steps").arg(lines.size());
        return false;
    }
    plan = read;
    return true;
}

QByteArray PlanFile::write(const Plan& plan) {
    QString out = QStringLiteral(
        "# ORVE-1 test plan. One step a line: TIMING PATTERN MODE INSTRUCTION\n"
        "# timing 1..35, same or - (nothing sent), pattern 1..39, same or -,\n"
        "# mode judge or a show time (5s, 2m); or an EDID programmed from a golden file:\n"
        "# - - edid GOLDEN serial-text=scan|golden serial-number=digits|golden|0 date=week|golden\n"
        "# Settings before the steps: name, reports, defects (at most 9, comma-separated),\n"
        "# serial (a regular expression), on-fail (stop|continue), results, port (1..8)\n");
    auto setting = [&out](const char* key, const QString& value) {
        if (!value.trimmed().isEmpty())
            out += QStringLiteral("%1: %2\n").arg(QLatin1String(key), value.trimmed());
    };
    setting("name", plan.name);
    setting("reports", plan.reportFolder);
    setting("defects", plan.defects.join(QStringLiteral(", ")));
    setting("serial", plan.serialFormat);
    if (plan.onFail == Plan::OnFail::Continue)
        setting("on-fail", QStringLiteral("continue"));
    setting("results", plan.results);
    if (plan.port > 0)
        setting("port", QString::number(plan.port));
    out += QLatin1Char('\n');
    for (const PlanStep& s : plan.steps) {
        QString line = QStringLiteral("%1 %2 %3")
                           .arg(choiceText(s.timing), -5)
                           .arg(choiceText(s.pattern), -5)
                           .arg(s.modeText(), -6);
        QString rest;
        if (s.mode == PlanStep::Mode::Edid) {
            static const QRegularExpression blank(QStringLiteral("\\s"));
            rest = s.golden.contains(blank) ? QLatin1Char('"') + s.golden + QLatin1Char('"')
                                            : s.golden;
            for (int o = 0; o < EdidOptionCount; ++o)
                rest += QStringLiteral(" %1=%2").arg(
                    QLatin1String(EdidOptions[o].name),
                    QLatin1String(EdidOptions[o].values[edidChoice(s, o)]));
        } else {
            // An instruction on one line: a line break would start a step of its own.
            rest = s.instruction;
            rest.replace(QRegularExpression(QStringLiteral("[\\r\\n\\t]+")), QStringLiteral(" "));
        }
        out += (line + QLatin1Char(' ') + rest.trimmed()).trimmed() + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QString PlanFile::goldenProblem(const Plan& plan, const QString& folder, bool byLine) {
    for (int k = 0; k < plan.steps.size(); ++k) {
        const PlanStep& s = plan.steps[k];
        if (s.mode != PlanStep::Mode::Edid)
            continue;
        GoldenEdid golden;
        QString error;
        if (!GoldenEdid::load(s.goldenPath(folder), golden, error))
            return (byLine && s.line > 0 ? QStringLiteral("line %1: ").arg(s.line)
                                         : QStringLiteral("step %1: ").arg(k + 1)) +
                   QStringLiteral("the golden EDID cannot be used: ") +
                   QDir::toNativeSeparators(error);
    }
    return QString();
}

QString PlanFile::digest(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

bool PlanFile::load(const QString& path, Plan& plan, QByteArray& bytes, QString& error) {
    QByteArray read;
    if (!SafeFile::readRegular(path, MaxFileBytes + 1, read, error))
        return false;
    if (read.size() > MaxFileBytes) {
        error = QStringLiteral("%1: larger than %2 KiB, not a test plan")
                    .arg(path)
                    .arg(MaxFileBytes / 1024);
        return false;
    }
    Plan parsed;
    if (!parse(read, parsed, error)) {
        error = path + QStringLiteral(": ") + error;
        return false;
    }
    error = goldenProblem(parsed, QFileInfo(path).absolutePath(), true);
    if (!error.isEmpty()) {
        error = path + QStringLiteral(": ") + error;
        return false;
    }
    plan = parsed;
    bytes = read;
    return true;
}
