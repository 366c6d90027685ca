#include "edid/EdidMode.h"

QString EdidMode::name() const {
    switch (kind) {
        case Kind::Established:
            return QStringLiteral("Established timing");
        case Kind::Standard:
            return QStringLiteral("Standard timing %1").arg(number);
        case Kind::Detailed:
            return QStringLiteral("DTD %1").arg(number);
        case Kind::Vic:
            break;
    }
    return QStringLiteral("VIC %1").arg(number);
}

QString EdidMode::entryText() const {
    QString where = QStringLiteral("block %1, ").arg(block);
    if (kind == Kind::Established)
        where += QStringLiteral("byte %1 bit %2").arg(offset).arg(bit);
    else if (kind == Kind::Standard)
        where += QStringLiteral("bytes %1-%2").arg(offset).arg(offset + 1);
    else
        where += QStringLiteral("byte %1").arg(offset);
    if (preferred)
        where += QStringLiteral("; preferred");
    if (native)
        where += QStringLiteral("; native");
    return QStringLiteral("%1 (%2)").arg(name(), where);
}

QString EdidMode::modeText() const {
    if (!decoded())
        return QStringLiteral("not decoded: %1").arg(problem);
    QString text = QStringLiteral("%1x%2%3 @ %4 Hz")
                       .arg(timing.width)
                       .arg(timing.height)
                       .arg(timing.interlaced ? QStringLiteral("i") : QString())
                       .arg(timing.rateHz, 0, 'f', 3);
    if (timing.pixelClockMHz > 0)
        text += QStringLiteral(", %1 MHz").arg(timing.pixelClockMHz, 0, 'f', 3);
    return text;
}
