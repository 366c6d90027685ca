#pragma once

#include <QValidator>

// Lets a cell editor hold nothing but up to two hexadecimal digits, in capitals. Text that does
// not pass the form's key filter (pasted from the clipboard, for example) is refused whole;
// small letters and surrounding blanks of pasted text are put right.
class HexByteValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override;
    // Up to two hexadecimal digits (either case), nothing else.
    static bool isByteText(const QString& text);
};
