#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

#include "edid/EdidImage.h"
#include "edid/EdidModes.h"
#include "timing/TimingTable.h"

// The generator's built-in timings that an EDID declares. A built-in timing is declared when
// one of the EDID's modes has its active width, its active height (frame lines) and its scan,
// and a field rate within RateTolerance of its own, so that 59.94 and 60 Hz modes declare
// both variants of a timing.
class DeclaredTimings {
public:
    static constexpr double RateTolerance = 0.005;  // of the built-in timing's field rate

    explicit DeclaredTimings(const EdidImage& image);

    const EdidModes& modes() const { return modes_; }
    // Catalogue numbers (1..35) that mode i of modes() declares, ascending.
    const QList<int>& matches(int i) const { return matches_[i]; }
    // The numbers declared, in catalogue order.
    QList<int> numbers() const;
    // Indexes into modes() of the modes that declare number.
    QList<int> declaredBy(int number) const;
    // One flag a built-in timing, as TimingSelection holds them.
    std::array<quint8, TimingCount> selection() const;

    // "1,3,5-9": the numbers as orve1ctl's timings command takes them.
    static QString rangeText(const QList<int>& numbers);
    // "Built-in timings this EDID declares: 12 of 35".
    static QString headingText(int declared);
    // One line a mode: the EDID entry, the mode, the built-in timings or "none", in columns.
    QStringList modeLines() const;
    // One line a declared timing: number, name, the EDID entries that declare it.
    QStringList declaredLines() const;
    // One line a mode that declares no built-in timing: the EDID entry's name and the mode.
    QStringList unmatchedLines() const;

    // Two field lines a frame: the stored field rate is twice the frame rate its totals give.
    static bool interlaced(const TimingEntry& t);
    static bool declares(const EdidInfo::Timing& mode, const TimingEntry& t);
    // The built-in timing numbers that the EDID in image declares, in catalogue order.
    static QList<int> numbersFrom(const EdidImage& image);

private:
    // "entry  mode" for the modes chosen, in aligned columns, with extra appended; the entry
    // with where it stands when located.
    QStringList columns(const QList<int>& chosen, bool located, const QStringList& extra) const;

    EdidModes modes_;
    QList<QList<int>> matches_;
};
