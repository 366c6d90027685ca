#pragma once

#include <QString>
#include <QStringList>

#include "timing/TimingTable.h"

// How every window (and orve1ctl) writes a timing's rates, durations and polarities.
//
// The fixed format: three digits after the decimal separator, rounded to the nearest
// thousandth, at most nine significant digits, no digit grouping, and the decimal separator of
// the default locale (digits stay ASCII whatever the locale).
class TimingText {
public:
    // Headings of the two timing grids' name and rate columns (blanks are part of them).
    static constexpr int ListColumns = 4;
    static constexpr const char* ListHeadings[ListColumns] = {
        "   Timing Name", "      Pixel Rate", "      Horizontal ", "        Vertical "};

    // value x 0.001: the pixel clock in MHz, the line rate in kHz, the field rate in Hz.
    static QString ThousandthsText(quint32 value);
    // "-" for 1 (negative), "+" for anything else.
    static QString PolarityText(quint8 polarity);
    // Duration of a number of pixels of the entry, in microseconds.
    static QString HorizontalTimeText(const TimingEntry& entry, quint32 pixels);
    // Duration of a number of lines of the entry, in milliseconds.
    static QString VerticalTimeText(const TimingEntry& entry, quint32 lines);

    // A value in the fixed format. Values that are not finite (a pixel clock of 0) give "".
    static QString fixedText(double value);
    // The name and rate cells of one entry in the timing grids, under ListHeadings.
    static QStringList ListCells(const TimingEntry& entry);
};
