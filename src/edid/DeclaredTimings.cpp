#include "edid/DeclaredTimings.h"

#include <cmath>

DeclaredTimings::DeclaredTimings(const EdidImage& image) : modes_(image) {
    for (const EdidMode& m : modes_.modes()) {
        QList<int> numbers;
        for (const TimingEntry& t : TimingTable)
            if (m.decoded() && declares(m.timing, t))
                numbers << t.Number;
        matches_ << numbers;
    }
}

bool DeclaredTimings::interlaced(const TimingEntry& t) {
    const double frameRateMHz = t.PClk * 1e6 / (double(t.HTol) * t.VTol);
    return t.VRat > 1.5 * frameRateMHz;
}

bool DeclaredTimings::declares(const EdidInfo::Timing& mode, const TimingEntry& t) {
    const double rate = t.VRat / 1000.0;
    return mode.present && mode.width == int(t.HAct) && mode.height == int(t.VAct) &&
           mode.interlaced == interlaced(t) && std::abs(mode.rateHz - rate) <= RateTolerance * rate;
}

QList<int> DeclaredTimings::numbers() const {
    QList<int> out;
    for (const TimingEntry& t : TimingTable)
        if (!declaredBy(t.Number).isEmpty())
            out << t.Number;
    return out;
}

QList<int> DeclaredTimings::declaredBy(int number) const {
    QList<int> out;
    for (int i = 0; i < matches_.size(); ++i)
        if (matches_[i].contains(number))
            out << i;
    return out;
}

std::array<quint8, TimingCount> DeclaredTimings::selection() const {
    std::array<quint8, TimingCount> flags{};
    for (int n : numbers()) flags[size_t(n - 1)] = 1;
    return flags;
}

QList<int> DeclaredTimings::numbersFrom(const EdidImage& image) {
    return DeclaredTimings(image).numbers();
}

QString DeclaredTimings::rangeText(const QList<int>& numbers) {
    QStringList parts;
    for (int i = 0; i < numbers.size();) {
        int j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        parts << (j > i ? QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[j])
                        : QString::number(numbers[i]));
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

QString DeclaredTimings::headingText(int declared) {
    return QStringLiteral("Built-in timings this EDID declares: %1 of %2")
        .arg(declared)
        .arg(TimingCount);
}

QStringList DeclaredTimings::columns(const QList<int>& chosen, bool located,
                                     const QStringList& extra) const {
    QStringList entries;
    QStringList modes;
    int entryWidth = 0;
    int modeWidth = 0;
    for (int i : chosen) {
        const EdidMode& m = modes_.modes()[i];
        entries << (located ? m.entryText() : m.name());
        modes << m.modeText();
        entryWidth = std::max(entryWidth, int(entries.last().size()));
        modeWidth = std::max(modeWidth, int(modes.last().size()));
    }
    QStringList lines;
    for (int k = 0; k < chosen.size(); ++k) {
        QString line = QStringLiteral("%1  ").arg(entries[k], -entryWidth);
        line += k < extra.size() ? QStringLiteral("%1  %2").arg(modes[k], -modeWidth).arg(extra[k])
                                 : modes[k];
        lines << line;
    }
    return lines;
}

QStringList DeclaredTimings::modeLines() const {
    QList<int> all;
    QStringList timings;
    for (int i = 0; i < matches_.size(); ++i) {
        QStringList names;
        for (int n : matches_[i])
            names << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(TimingTable[n - 1].Name));
        all << i;
        timings << (names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")));
    }
    return columns(all, true, timings);
}

QStringList DeclaredTimings::unmatchedLines() const {
    QList<int> chosen;
    for (int i = 0; i < matches_.size(); ++i)
        if (matches_[i].isEmpty())
            chosen << i;
    return columns(chosen, false, {});
}

QStringList DeclaredTimings::declaredLines() const {
    QStringList lines;
    for (int n : numbers()) {
        QStringList entries;
        for (int i : declaredBy(n)) entries << modes_.modes()[i].name();
        lines << QStringLiteral("%1  %2  %3")
                     .arg(n, 2)
                     .arg(QLatin1String(TimingTable[n - 1].Name), -13)
                     .arg(entries.join(QStringLiteral(", ")));
    }
    return lines;
}
