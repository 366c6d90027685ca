#pragma once

#include <QDate>
#include <QString>
#include <optional>

#include "edid/EdidIdentity.h"
#include "edid/EdidImage.h"

// How one unit's identity is made from the golden EDID: the serial text is the unit's serial
// as scanned or typed, the serial number comes from its digits, is given, or stays as in the
// golden, and so does the date (this week, a given week, the golden's). Name, manufacturer and
// product code change only when given.
class IdentityRecipe {
public:
    enum class Number { Golden, Digits, Given };
    enum class Date { Golden, Today, Given };

    // The golden's serial text stays even where a serial is given (for its digits, say).
    bool keepSerialText = false;
    Number number = Number::Golden;
    quint32 givenNumber = 0;
    Date date = Date::Golden;
    int week = 0;  // Date::Given
    int year = 0;
    std::optional<QString> name;
    std::optional<QString> vendor;
    std::optional<quint16> product;

    // The fields of a unit with this serial (empty: the golden's serial text stays) on the day
    // today. False, with a message, when they cannot be made.
    bool fieldsFor(const EdidImage& golden, const QString& serial, const QDate& today,
                   EdidIdentity::Fields& out, QString& error) const;
    // The golden image turned into the unit's; image untouched on failure.
    bool apply(EdidImage& image, const QString& serial, const QDate& today, QString& error,
               EdidIdentity::Fields* used = nullptr) const;

    // The decimal digits of serial, in order, as one number ("G3D7F68O0LLB" gives 376800).
    static bool digitsNumber(const QString& serial, quint32& number, QString& error);

    // The command line's forms: a number 0..4294967295 or "digits"; "today", "golden" or
    // "YYYY-Www"; a product code in decimal or 0x hexadecimal.
    bool parseNumber(const QString& text, QString& error);
    bool parseDate(const QString& text, QString& error);
    bool parseProduct(const QString& text, QString& error);
};
