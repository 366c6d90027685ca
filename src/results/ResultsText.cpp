#include "results/ResultsText.h"

#include <QRegularExpression>
#include <QStringList>

#include "plan/RunRecord.h"

QString ResultsText::time(const QString& iso) {
    return iso.left(19).replace(QLatin1Char('T'), QLatin1Char(' '));
}

QString ResultsText::verdict(const ResultRow& r) {
    return r.verdict.isEmpty() ? QStringLiteral("RUNNING") : r.verdict;
}

QString ResultsText::verdictAndEnd(const ResultRow& r) {
    QString text = verdict(r);
    // The first word of how it ended: "interrupted", "stopped".
    if (r.kind == ResultRow::Kind::Run && r.endStep >= 0 && !r.endText.isEmpty())
        text += QStringLiteral(", %1 at step %2")
                    .arg(r.endText.section(QRegularExpression(QStringLiteral("[: ]")), 0, 0))
                    .arg(r.endStep + 1);
    return text;
}

QString ResultsText::note(const ResultRow::FailedStep& f) {
    // As the run's report and results.csv show it.
    RunRecord::Step s;
    s.note = f.note;
    s.defect = f.defect;
    return s.noteText();
}

QString ResultsText::failed(const ResultRow& r) {
    QStringList parts;
    for (const ResultRow::FailedStep& f : r.failed) {
        const QString text = note(f);
        parts << (text.isEmpty() ? QStringLiteral("step %1").arg(f.step)
                                 : QStringLiteral("step %1: %2").arg(f.step).arg(text));
    }
    if (!r.failure.isEmpty())
        parts << (r.kind == ResultRow::Kind::Run && r.endStep >= 0
                      ? QStringLiteral("step %1 not shown: %2").arg(r.endStep + 1).arg(r.failure)
                      : r.failure);
    return parts.join(QLatin1String("; "));
}
