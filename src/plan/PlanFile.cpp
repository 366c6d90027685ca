#include "plan/PlanFile.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include "files/SafeFile.h"
#include "pattern/PatternTable.h"
#include "timing/TimingTable.h"

namespace {

const QString SameWord = QStringLiteral("same");
const QString JudgeWord = QStringLiteral("judge");

// A number low..high, or "same" (-> PlanStep::Same); -2 for anything else.
int readChoice(const QString& word, int high) {
    if (word.compare(SameWord, Qt::CaseInsensitive) == 0)
        return PlanStep::Same;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(word).hasMatch())
        return -2;
    const int n = word.toInt();
    return n >= 1 && n <= high ? n - 1 : -2;
}

bool readMode(const QString& word, PlanStep& step) {
    if (word.compare(JudgeWord, Qt::CaseInsensitive) == 0) {
        step.mode = PlanStep::Mode::Judge;
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

QString choiceText(int value) {
    return value == PlanStep::Same ? SameWord : QString::number(value + 1);
}

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
    bool folder = false;
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
            } else if (key == QLatin1String("reports")) {
                if (folder)
                    return refuse(QStringLiteral("the report folder is given twice"));
                if (value.isEmpty())
                    return refuse(QStringLiteral("the report folder is empty"));
                read.reportFolder = value;
                folder = true;
            } else {
                return refuse(
                    QStringLiteral("unknown setting '%1' (name: or reports:)").arg(m.captured(1)));
            }
            continue;
        }
        const QStringList words = trimmed.split(blanks);
        PlanStep step;
        step.line = i + 1;
        step.timing = readChoice(words[0], TimingCount);
        if (step.timing == -2)
            return refuse(QStringLiteral("'%1' is not a timing (1..%2 or same)")
                              .arg(words[0])
                              .arg(TimingCount));
        if (words.size() < 2)
            return refuse(QStringLiteral("the pattern is missing after the timing"));
        step.pattern = readChoice(words[1], PatternCount);
        if (step.pattern == -2)
            return refuse(QStringLiteral("'%1' is not a pattern (1..%2 or same)")
                              .arg(words[1])
                              .arg(PatternCount));
        if (words.size() < 3)
            return refuse(QStringLiteral("the mode is missing: judge, or a show time such as 5s"));
        if (!readMode(words[2], step))
            return refuse(QStringLiteral("'%1' is not judge or a show time 1..59 with s or m "
                                         "(5s, 2m)")
                              .arg(words[2]));
        // The instruction is the rest of the line as written, blanks inside kept.
        int at = 0;
        for (int w = 0; w < 3; ++w) {
            at = int(line.indexOf(words[w], at)) + int(words[w].size());
        }
        step.instruction = line.mid(at).trimmed();
        if (!named)
            return refuse(QStringLiteral("a \"name:\" line must come before the first step"));
        if (read.steps.isEmpty() && step.timing == PlanStep::Same)
            return refuse(QStringLiteral("the first step cannot keep the \"same\" timing"));
        if (read.steps.isEmpty() && step.pattern == PlanStep::Same)
            return refuse(QStringLiteral("the first step cannot keep the \"same\" pattern"));
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
        "# timing 1..35 or same, pattern 1..39 or same, mode judge or a show time (5s, 2m)\n");
    out += QStringLiteral("name: %1\n").arg(plan.name.trimmed());
    if (!plan.reportFolder.trimmed().isEmpty())
        out += QStringLiteral("reports: %1\n").arg(plan.reportFolder.trimmed());
    out += QLatin1Char('\n');
    for (const PlanStep& s : plan.steps) {
        QString line = QStringLiteral("%1 %2 %3")
                           .arg(choiceText(s.timing), -5)
                           .arg(choiceText(s.pattern), -5)
                           .arg(s.modeText(), -6);
        // An instruction on one line: a line break would start a step of its own.
        QString instruction = s.instruction;
        instruction.replace(QRegularExpression(QStringLiteral("[\\r\\n\\t]+")),
                            QStringLiteral(" "));
        out += (line + QLatin1Char(' ') + instruction.trimmed()).trimmed() + QLatin1Char('\n');
    }
    return out.toUtf8();
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
    if (!parse(read, plan, error)) {
        error = path + QStringLiteral(": ") + error;
        return false;
    }
    bytes = read;
    return true;
}
