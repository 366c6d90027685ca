#include "production/IdentityRecipe.h"

#include <QRegularExpression>

bool IdentityRecipe::digitsNumber(const QString& serial, quint32& number, QString& error) {
    QString digits;
    for (const QChar c : serial) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    }
    if (digits.isEmpty()) {
        error = QStringLiteral("The serial \"%1\" has no digits to make the serial number of.")
                    .arg(serial);
        return false;
    }
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok);
    // Dropping digits to make it fit could give two units the same number.
    if (!ok || value > 0xFFFFFFFFull) {
        error = QStringLiteral(
                    "The digits of the serial \"%1\" (%2) do not fit the 32-bit serial number "
                    "(at most 4294967295).")
                    .arg(serial, digits);
        return false;
    }
    number = quint32(value);
    return true;
}

bool IdentityRecipe::fieldsFor(const EdidImage& golden, const QString& serial, const QDate& today,
                               EdidIdentity::Fields& out, QString& error) const {
    EdidIdentity::Fields f = EdidIdentity::read(golden);
    if (!serial.isEmpty() && !keepSerialText)
        f.serialText = serial;
    switch (number) {
        case Number::Golden:
            break;
        case Number::Given:
            f.serialNumber = givenNumber;
            break;
        case Number::Digits:
            if (serial.isEmpty()) {
                error = QStringLiteral(
                    "The serial number is to come from the serial's digits, "
                    "but no serial is given.");
                return false;
            }
            if (!digitsNumber(serial, f.serialNumber, error))
                return false;
            break;
    }
    switch (date) {
        case Date::Golden:
            break;
        case Date::Today: {
            // The ISO week, and the year it belongs to (30 December may be in week 1).
            int isoYear = 0;
            f.week = today.weekNumber(&isoYear);
            f.year = isoYear;
            break;
        }
        case Date::Given:
            f.week = week;
            f.year = year;
            break;
    }
    if (name)
        f.name = *name;
    if (vendor)
        f.vendor = *vendor;
    if (product)
        f.product = *product;
    out = f;
    return true;
}

bool IdentityRecipe::apply(EdidImage& image, const QString& serial, const QDate& today,
                           QString& error, EdidIdentity::Fields* used) const {
    EdidIdentity::Fields f;
    if (!fieldsFor(image, serial, today, f, error) || !EdidIdentity::write(image, f, error))
        return false;
    if (used)
        *used = f;
    return true;
}

bool IdentityRecipe::parseNumber(const QString& text, QString& error) {
    if (text == QLatin1String("digits")) {
        number = Number::Digits;
        return true;
    }
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,10}$"));
    bool ok = decimal.match(text).hasMatch();
    const qulonglong value = ok ? text.toULongLong(&ok) : 0;
    if (!ok || value > 0xFFFFFFFFull) {
        error = QStringLiteral("--serial-number '%1' is not 0..4294967295 or 'digits'").arg(text);
        return false;
    }
    number = Number::Given;
    givenNumber = quint32(value);
    return true;
}

bool IdentityRecipe::parseDate(const QString& text, QString& error) {
    if (text == QLatin1String("today")) {
        date = Date::Today;
        return true;
    }
    if (text == QLatin1String("golden")) {
        date = Date::Golden;
        return true;
    }
    static const QRegularExpression isoWeek(QStringLiteral("^([0-9]{4})-W([0-9]{2})$"));
    const QRegularExpressionMatch m = isoWeek.match(text);
    const int y = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int w = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (!m.hasMatch() || w < 1 || !EdidIdentity::dateProblem(w, y).isEmpty()) {
        error = QStringLiteral(
                    "--date '%1' is not today, golden or YYYY-Www (week 01..%2, year "
                    "%3..%4)")
                    .arg(text)
                    .arg(EdidIdentity::MaxWeek)
                    .arg(EdidIdentity::FirstYear)
                    .arg(EdidIdentity::LastYear);
        return false;
    }
    date = Date::Given;
    week = w;
    year = y;
    return true;
}

bool IdentityRecipe::parseProduct(const QString& text, QString& error) {
    static const QRegularExpression form(QStringLiteral("^(0x[0-9a-fA-F]{1,4}|[0-9]{1,5})$"));
    bool ok = form.match(text).hasMatch();
    const bool hex = text.startsWith(QLatin1String("0x"));
    const uint value = ok ? text.mid(hex ? 2 : 0).toUInt(&ok, hex ? 16 : 10) : 0;
    if (!ok || value > 0xFFFF) {
        error = QStringLiteral("--product '%1' is not 0..65535 (or 0x0000..0xffff)").arg(text);
        return false;
    }
    product = quint16(value);
    return true;
}
