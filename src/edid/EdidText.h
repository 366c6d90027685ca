#pragma once

#include <QByteArray>
#include <QString>

// Reads an EDID from the text forms in which it travels: hexadecimal bytes separated by blanks,
// colons or commas (with or without 0x), the hex dump of edid-decode, the lines under "EDID:"
// in the output of xrandr --verbose, and a C array. Text that holds no EDID, an odd number of
// digits or more than one EDID is refused with one message that says what was found.
class EdidText {
public:
    enum class Form { HexBytes, EdidDecode, Xrandr, CArray };

    // The longest text read from a file; an EDID's text is a few kilobytes.
    static constexpr qint64 MaxTextBytes = 1024 * 1024;

    // The EDID's bytes, all of them (an EDID may be longer than the 256-byte image). False,
    // with a message and bytes untouched, when the text holds no single EDID.
    static bool parse(const QString& text, QByteArray& bytes, QString& error, Form* form = nullptr);
    static QString formName(Form form);

    // A file that holds an EDID either raw (binary) or in one of the text forms: its bytes
    // (a raw file's, whole, up to MaxTextBytes). False with a message naming the file when it
    // cannot be read or its text holds no single EDID.
    // wasText and form, when given, say how the file held it.
    static bool loadFile(const QString& path, QByteArray& bytes, QString& error,
                         bool* wasText = nullptr, Form* form = nullptr);
    // Raw files are binary: an EDID's first byte is 0, and it holds control bytes that text
    // never does.
    static bool looksLikeText(const QByteArray& bytes);
};
