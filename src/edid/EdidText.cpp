#include "edid/EdidText.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

#include "edid/EdidHeader.h"
#include "edid/EdidInfo.h"
#include "files/SafeFile.h"

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool allHex(const QString& s) {
    return !s.isEmpty() &&
           std::all_of(s.begin(), s.end(), [](QChar c) { return hexValue(c) >= 0; });
}

// One run of digits standing for whole bytes, and where it was found.
struct Digits {
    QString text;
    int line = 0;  // 1-based
};

// What a form found in the text: its runs of digits, or the sections of several EDIDs.
struct Found {
    QList<QList<Digits>> sections;
    QString error;
};

bool startsWithHeader(const QByteArray& bytes) {
    return bytes.size() >= int(EdidHeader::Bytes.size()) &&
           std::equal(EdidHeader::Bytes.begin(), EdidHeader::Bytes.end(),
                      reinterpret_cast<const quint8*>(bytes.constData()));
}

// The offsets at which EDIDs start when several stand one after another: each runs for its
// base block and the extensions its byte 126 announces, and another one follows only if the
// next bytes are an EDID header.
QList<int> edidStarts(const QByteArray& bytes) {
    QList<int> starts{0};
    int at = 0;
    while (true) {
        const int countAt = at + EdidInfo::ExtensionCountOffset;
        if (countAt >= bytes.size())
            break;
        const int length = EdidInfo::BlockSize * (1 + quint8(bytes[countAt]));
        const int next = at + length;
        if (next >= bytes.size() || !startsWithHeader(bytes.mid(next)))
            break;
        starts << next;
        at = next;
    }
    return starts;
}

QString joinOffsets(const QList<int>& starts) {
    QStringList parts;
    for (int s : starts) parts << QString::number(s);
    if (parts.size() == 1)
        return parts.first();
    const QString last = parts.takeLast();
    return parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// The digits of one section turned into bytes; false with a message on a piece that is not a
// whole number of bytes.
bool toBytes(const QList<Digits>& runs, QByteArray& bytes, QString& error) {
    int total = 0;
    const Digits* odd = nullptr;
    for (const Digits& d : runs) {
        total += int(d.text.size());
        if (!odd && d.text.size() % 2 != 0)
            odd = &d;
    }
    if (odd) {
        error =
            QStringLiteral(
                "An odd number of hexadecimal digits: the bytes in the text have %1 digits, "
                "and '%2' on line %3 is not a whole number of bytes.")
                .arg(total)
                .arg(odd->text.size() > 12 ? odd->text.left(12) + QStringLiteral("...") : odd->text)
                .arg(odd->line);
        return false;
    }
    QByteArray out;
    out.reserve(total / 2);
    for (const Digits& d : runs) {
        for (int i = 0; i < d.text.size(); i += 2)
            out.append(char(hexValue(d.text[i]) * 16 + hexValue(d.text[i + 1])));
    }
    bytes = out;
    return true;
}

// xrandr --verbose prints each output's EDID as indented lines of 32 digits under "EDID:".
Found xrandrSections(const QStringList& lines) {
    Found found;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() != QLatin1String("EDID:"))
            continue;
        QList<Digits> section;
        int j = i + 1;
        for (; j < lines.size() && allHex(lines[j].trimmed()); ++j)
            section << Digits{lines[j].trimmed(), j + 1};
        if (!section.isEmpty())
            found.sections << section;
        i = j - 1;
    }
    return found;
}

// edid-decode prints "edid-decode (hex):", then lines of blank-separated byte pairs with an
// empty line between blocks, and ends the dump with a line of dashes.
Found edidDecodeSections(const QStringList& lines) {
    Found found;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() != QLatin1String("edid-decode (hex):"))
            continue;
        QList<Digits> section;
        int j = i + 1;
        for (; j < lines.size(); ++j) {
            const QString line = lines[j].trimmed();
            if (line.isEmpty())
                continue;
            const QStringList tokens = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (!std::all_of(tokens.begin(), tokens.end(), allHex))
                break;
            for (const QString& t : tokens) section << Digits{t, j + 1};
        }
        if (!section.isEmpty())
            found.sections << section;
        i = j - 1;
    }
    return found;
}

QString withoutComments(const QString& text) {
    static const QRegularExpression comments(QStringLiteral(R"(/\*.*?\*/|//[^\n]*)"),
                                             QRegularExpression::DotMatchesEverythingOption);
    QString out = text;
    // Replaced by blanks of the same length, so that line numbers stay right.
    QRegularExpressionMatchIterator it = comments.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        for (qsizetype k = m.capturedStart(); k < m.capturedEnd(); ++k) {
            if (out[k] != QLatin1Char('\n'))
                out[k] = QLatin1Char(' ');
        }
    }
    return out;
}

// A C array: the elements between braces, each a C integer literal (0x hex, 0 octal, decimal,
// with an optional u or U) that fits in a byte. Every innermost pair of braces with elements
// is one EDID.
Found cArraySections(const QString& source) {
    Found found;
    const QString text = withoutComments(source);
    static const QRegularExpression literal(
        QStringLiteral("^(?:0[xX]([0-9a-fA-F]+)|(0[0-7]*)|([1-9][0-9]*))[uU]?$"));
    int line = 1;
    int open = -1;
    int openLine = 1;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n'))
            ++line;
        if (c == QLatin1Char('{')) {
            open = i;
            openLine = line;
        } else if (c == QLatin1Char('}') && open >= 0) {
            const QString body = text.mid(open + 1, i - open - 1);
            open = -1;
            QList<Digits> section;
            int at = openLine;
            // Elements are separated by commas; line feeds only move the line count.
            const QStringList pieces = body.split(QLatin1Char(','));
            for (int p = 0; p < pieces.size(); ++p) {
                const QString element = pieces[p].trimmed();
                const int elementLine =
                    at + int(pieces[p].left(pieces[p].indexOf(element)).count(QLatin1Char('\n')));
                at += int(pieces[p].count(QLatin1Char('\n')));
                if (element.isEmpty())
                    continue;  // the comma after the last element
                const QRegularExpressionMatch m = literal.match(element);
                bool ok = m.hasMatch();
                uint value = 0;
                if (ok) {
                    if (m.capturedLength(1))
                        value = m.captured(1).toUInt(&ok, 16);
                    else if (m.capturedLength(2))
                        value = m.captured(2).toUInt(&ok, 8);
                    else
                        value = m.captured(3).toUInt(&ok, 10);
                }
                if (!ok || value > 255) {
                    found.error = QStringLiteral(
                                      "No EDID: '%1' on line %2 of the C array is not a byte "
                                      "(0 to 255, 0x00 to 0xff).")
                                      .arg(element.simplified().left(20))
                                      .arg(elementLine);
                    return found;
                }
                section << Digits{QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')),
                                  elementLine};
            }
            if (!section.isEmpty())
                found.sections << section;
        }
    }
    return found;
}

// Any other text: the lines that consist of hexadecimal bytes only (blank-, colon- or
// comma-separated, each with or without 0x) form the EDID; lines of other text around them
// are passed over.
Found hexByteSections(const QStringList& lines) {
    static const QRegularExpression separators(QStringLiteral("[\\s:,;]+"));
    Found found;
    QList<Digits> section;
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList tokens = lines[i].split(separators, Qt::SkipEmptyParts);
        if (tokens.isEmpty())
            continue;
        QList<Digits> digits;
        bool hexLine = true;
        for (const QString& token : tokens) {
            QString t = token;
            const bool prefixed = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
            if (prefixed)
                t = t.mid(2);
            if (!allHex(t)) {
                hexLine = false;
                break;
            }
            // "0x0" is a whole byte; a lone digit without 0x is half of one.
            if (prefixed && t.size() == 1)
                t.prepend(QLatin1Char('0'));
            digits << Digits{t, i + 1};
        }
        if (hexLine)
            section << digits;
    }
    if (!section.isEmpty())
        found.sections << section;
    return found;
}

}  // namespace

QString EdidText::formName(Form form) {
    switch (form) {
        case Form::EdidDecode:
            return QStringLiteral("edid-decode hex dump");
        case Form::Xrandr:
            return QStringLiteral("xrandr --verbose EDID");
        case Form::CArray:
            return QStringLiteral("C array");
        case Form::HexBytes:
        default:
            return QStringLiteral("hexadecimal bytes");
    }
}

bool EdidText::parse(const QString& text, QByteArray& bytes, QString& error, Form* formOut) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    Form form = Form::HexBytes;
    Found found = xrandrSections(lines);
    if (!found.sections.isEmpty()) {
        form = Form::Xrandr;
    } else if (found = edidDecodeSections(lines); !found.sections.isEmpty()) {
        form = Form::EdidDecode;
    } else if (text.contains(QLatin1Char('{'))) {
        found = cArraySections(text);
        form = Form::CArray;
    } else {
        found = hexByteSections(lines);
    }
    if (!found.error.isEmpty()) {
        error = found.error;
        return false;
    }
    if (found.sections.isEmpty()) {
        error = form == Form::CArray
                    ? QStringLiteral("No EDID: the text has braces but no numbers between them.")
                    : QStringLiteral(
                          "No EDID: the text holds no hexadecimal bytes (such as "
                          "\"00 ff ff ff ff ff ff 00 ...\", the lines under \"EDID:\" of xrandr "
                          "--verbose, edid-decode's hex dump or a C array).");
        return false;
    }
    if (found.sections.size() > 1) {
        switch (form) {
            case Form::Xrandr:
                error = QStringLiteral(
                            "More than one EDID: the text holds %1 \"EDID:\" sections, one for "
                            "each output that xrandr listed. Take the lines of one output.")
                            .arg(found.sections.size());
                break;
            case Form::EdidDecode:
                error = QStringLiteral(
                            "More than one EDID: the text holds %1 \"edid-decode (hex):\" "
                            "dumps. Take one.")
                            .arg(found.sections.size());
                break;
            default:
                error = QStringLiteral("More than one EDID: the text holds %1 C arrays. Take one.")
                            .arg(found.sections.size());
                break;
        }
        return false;
    }
    QByteArray read;
    if (!toBytes(found.sections.first(), read, error))
        return false;
    // Loose hexadecimal text is taken for an EDID only when it looks like one: it starts with
    // the header, or it is whole 128-byte blocks (an EDID whose header is damaged).
    if (form == Form::HexBytes && !startsWithHeader(read) &&
        read.size() % EdidInfo::BlockSize != 0) {
        error = QStringLiteral(
                    "No EDID: the text holds %1 hexadecimal bytes (starting %2), which neither "
                    "start with the EDID header %3 nor make whole 128-byte blocks.")
                    .arg(read.size())
                    .arg(QString::fromLatin1(read.left(8).toHex(' ')))
                    .arg(EdidHeader::text().toLower());
        return false;
    }
    if (startsWithHeader(read)) {
        const QList<int> starts = edidStarts(read);
        if (starts.size() > 1) {
            error = QStringLiteral(
                        "More than one EDID: the %1 bytes in the text hold %2 EDIDs one after "
                        "the other (each starting with the EDID header, at bytes %3). Take "
                        "one.")
                        .arg(read.size())
                        .arg(starts.size())
                        .arg(joinOffsets(starts));
            return false;
        }
    }
    bytes = read;
    if (formOut)
        *formOut = form;
    return true;
}

bool EdidText::looksLikeText(const QByteArray& bytes) {
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')
            continue;
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

bool EdidText::loadFile(const QString& path, QByteArray& bytes, QString& error, bool* wasText,
                        Form* form) {
    QByteArray content;
    if (!SafeFile::readRegular(path, MaxTextBytes + 1, content, error))
        return false;
    const bool text = looksLikeText(content);
    if (wasText)
        *wasText = text;
    if (!text) {
        bytes = content.left(MaxTextBytes);
        return true;
    }
    if (content.size() > MaxTextBytes) {
        error = QStringLiteral("%1: longer than %2 bytes of text, too long for an EDID")
                    .arg(path)
                    .arg(MaxTextBytes);
        return false;
    }
    if (!parse(QString::fromUtf8(content), bytes, error, form)) {
        error = QStringLiteral("%1: %2").arg(path, error);
        return false;
    }
    return true;
}
