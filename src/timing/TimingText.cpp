#include "timing/TimingText.h"

#include <QLocale>
#include <cmath>

namespace {

constexpr int Decimals = 3;
constexpr int SignificantDigits = 9;

}  // namespace

QString TimingText::fixedText(double value) {
    if (!std::isfinite(value))
        return QString();
    // Digits before the point decide how many of the nine are left for the fraction.
    const double magnitude = std::fabs(value);
    int whole = 1;
    for (double limit = 10; magnitude >= limit && whole <= SignificantDigits; limit *= 10) ++whole;
    QString text;
    if (whole > SignificantDigits) {
        text = QString::number(value, 'E', SignificantDigits - 1);
    } else {
        const int decimals = qMin(Decimals, SignificantDigits - whole);
        text = QString::number(value, 'f', decimals);
        // The digits beyond the ninth are zeros, but the three places are always written.
        if (decimals == 0)
            text += QLatin1Char('.');
        text += QString(Decimals - decimals, QLatin1Char('0'));
    }
    text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return text;
}

QString TimingText::ThousandthsText(quint32 value) {
    return fixedText(static_cast<double>(value) * 0.001);
}

QString TimingText::PolarityText(quint8 polarity) {
    return polarity == 1 ? QStringLiteral("-") : QStringLiteral("+");
}

QString TimingText::HorizontalTimeText(const TimingEntry& entry, quint32 pixels) {
    // Milliseconds per pixel, since the clock is in kHz.
    const double pixelPeriod = 1.0 / static_cast<double>(entry.PClk);
    return fixedText(static_cast<double>(pixels) * pixelPeriod * 1000.0);
}

QString TimingText::VerticalTimeText(const TimingEntry& entry, quint32 lines) {
    // From the pixel clock and the horizontal total, not from the stored rates.
    const double pixelPeriod = 1.0 / static_cast<double>(entry.PClk);
    const double linePeriod = static_cast<double>(entry.HTol) * pixelPeriod;
    return fixedText(static_cast<double>(lines) * linePeriod);
}

QStringList TimingText::ListCells(const TimingEntry& entry) {
    return {QLatin1String(entry.Name), ThousandthsText(entry.PClk) + QStringLiteral(" MHz"),
            ThousandthsText(entry.HRat) + QStringLiteral(" KHz"),
            ThousandthsText(entry.VRat) + QStringLiteral(" Hz")};
}
