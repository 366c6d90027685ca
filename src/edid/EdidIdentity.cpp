#include "edid/EdidIdentity.h"

#include <QByteArray>
#include <algorithm>

#include "edid/EdidDiff.h"
#include "edid/EdidInfo.h"

namespace {

constexpr int VendorAt = 8;
constexpr int ProductAt = 10;
constexpr int SerialAt = 12;
constexpr int WeekAt = 16;
constexpr int YearAt = 17;
constexpr int TextAt = 5;  // a text's first byte within its descriptor
constexpr quint8 LineFeed = 0x0A;
constexpr quint8 Blank = 0x20;

// Columns: tag, the field's name in messages.
struct TextField {
    quint8 tag;
    const char* name;
};
constexpr TextField TextFields[] = {
    {EdidIdentity::NameTag, "monitor name"},
    {EdidIdentity::SerialTextTag, "serial number text"},
};

QString textOf(const EdidImage& image, quint8 tag) {
    const int at = EdidInfo::descriptorOffset(image, tag);
    return at < 0 ? QString() : EdidInfo::descriptorText(image, at);
}

bool isDummy(const EdidImage& image, int at) {
    return image[at] == 0 && image[at + 1] == 0 && image[at + 2] == 0 &&
           image[at + 3] == EdidIdentity::DummyTag;
}

// Writes a display descriptor with tag and text (empty: a dummy descriptor) at offset.
void putDescriptor(EdidImage& image, int at, quint8 tag, const QString& text) {
    std::fill_n(image.begin() + at, EdidInfo::DescriptorSize, quint8(0));
    image[at + 3] = text.isEmpty() ? EdidIdentity::DummyTag : tag;
    if (text.isEmpty())
        return;
    // Shorter texts end in a line feed, padded with blanks.
    quint8* data = image.data() + at + TextAt;
    std::fill_n(data, EdidIdentity::TextLength, Blank);
    const QByteArray ascii = text.toLatin1();
    std::copy(ascii.begin(), ascii.end(), data);
    if (ascii.size() < EdidIdentity::TextLength)
        data[ascii.size()] = LineFeed;
}

// What each of block 0's descriptors holds: "descriptor 1 (preferred timing), ...".
QString slotsText(const EdidImage& image) {
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()), EdidInfo::BlockSize);
    QStringList kinds;
    for (int at : EdidInfo::DescriptorOffsets) kinds << EdidDiff::fieldAt(bytes, bytes, at);
    return kinds.join(QStringLiteral(", "));
}

bool setText(EdidImage& image, const TextField& field, const QString& text, QString& error) {
    if (text == textOf(image, field.tag))
        return true;
    const QString name = QLatin1String(field.name);
    if (!text.isEmpty()) {
        const QString problem = EdidIdentity::textProblem(text);
        if (!problem.isEmpty()) {
            error = QStringLiteral("The %1 %2").arg(name, problem);
            return false;
        }
    }
    int at = EdidInfo::descriptorOffset(image, field.tag);
    if (at < 0 && !text.isEmpty()) {
        const QList<int> free = EdidIdentity::freeSlots(image);
        if (free.isEmpty()) {
            error = QStringLiteral(
                        "There is no free descriptor slot for the %1: block 0 holds %2. A new "
                        "text goes only where a dummy descriptor (tag 0x10) stands.")
                        .arg(name, slotsText(image));
            return false;
        }
        at = free.first();
    }
    if (at >= 0)
        putDescriptor(image, at, field.tag, text);
    return true;
}

}  // namespace

bool EdidIdentity::Fields::operator==(const Fields& o) const {
    return vendor == o.vendor && product == o.product && serialNumber == o.serialNumber &&
           week == o.week && year == o.year && name == o.name && serialText == o.serialText;
}

EdidIdentity::Fields EdidIdentity::read(const EdidImage& image) {
    const EdidInfo info(image);
    Fields f;
    f.vendor = info.manufacturer();
    f.product = info.productCode();
    f.serialNumber = info.serialNumber();
    f.week = info.week();
    f.year = info.year();
    f.name = textOf(image, NameTag);
    f.serialText = textOf(image, SerialTextTag);
    return f;
}

QString EdidIdentity::textProblem(const QString& text) {
    if (text.size() > TextLength)
        return QStringLiteral("\"%1\" has %2 characters; a descriptor holds at most %3.")
            .arg(text)
            .arg(text.size())
            .arg(TextLength);
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return QStringLiteral("\"%1\" holds %2, which is not printable ASCII.")
                .arg(text, c.unicode() < 0x20 || c.unicode() == 0x7F
                               ? QStringLiteral("the control character 0x%1")
                                     .arg(c.unicode(), 2, 16, QLatin1Char('0'))
                               : QStringLiteral("'%1'").arg(c));
    }
    if (text.endsWith(QLatin1Char(' ')))
        return QStringLiteral("\"%1\" ends in a blank, which readers of the EDID drop.").arg(text);
    return QString();
}

QString EdidIdentity::vendorProblem(const QString& vendor) {
    const bool letters =
        vendor.size() == 3 && std::all_of(vendor.begin(), vendor.end(), [](QChar c) {
            return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
        });
    return letters ? QString()
                   : QStringLiteral("The manufacturer \"%1\" is not three capital letters A to Z.")
                         .arg(vendor);
}

QString EdidIdentity::dateProblem(int week, int year) {
    if (week != ModelYearWeek && (week < 0 || week > MaxWeek))
        return QStringLiteral("Week %1 is not 1 to %2 (or 0 when not given).")
            .arg(week)
            .arg(MaxWeek);
    if (year < FirstYear || year > LastYear)
        return QStringLiteral("The year %1 is not %2 to %3.")
            .arg(year)
            .arg(FirstYear)
            .arg(LastYear);
    return QString();
}

bool EdidIdentity::write(EdidImage& image, const Fields& fields, QString& error) {
    const Fields now = read(image);
    EdidImage out = image;
    if (fields.vendor != now.vendor) {
        error = vendorProblem(fields.vendor);
        if (!error.isEmpty())
            return false;
        int id = 0;
        for (const QChar c : fields.vendor) id = (id << 5) | (c.unicode() - u'@');
        out[VendorAt] = quint8(id >> 8);
        out[VendorAt + 1] = quint8(id);
    }
    if (fields.product != now.product) {
        out[ProductAt] = quint8(fields.product);
        out[ProductAt + 1] = quint8(fields.product >> 8);
    }
    if (fields.serialNumber != now.serialNumber) {
        for (int i = 0; i < 4; ++i) out[SerialAt + i] = quint8(fields.serialNumber >> (8 * i));
    }
    if (fields.week != now.week || fields.year != now.year) {
        error = dateProblem(fields.week, fields.year);
        if (!error.isEmpty())
            return false;
        out[WeekAt] = quint8(fields.week);
        out[YearAt] = quint8(fields.year - FirstYear);
    }
    if (!setText(out, TextFields[0], fields.name, error) ||
        !setText(out, TextFields[1], fields.serialText, error))
        return false;
    if (!std::equal(out.begin(), out.begin() + EdidInfo::BlockSize - 1, image.begin()))
        out[EdidInfo::BlockSize - 1] = EdidInfo::correctChecksum(out, 0);
    image = out;
    error.clear();
    return true;
}

QList<int> EdidIdentity::freeSlots(const EdidImage& image) {
    QList<int> free;
    // The first slot holds the preferred timing in a sound EDID: it is taken last.
    for (int i : {1, 2, 3, 0}) {
        const int at = EdidInfo::DescriptorOffsets[i];
        if (isDummy(image, at))
            free << at;
    }
    return free;
}

QString EdidIdentity::dateText(int week, int year) {
    EdidImage image{};
    image[WeekAt] = quint8(week);
    image[YearAt] = quint8(year - FirstYear);
    return EdidInfo(image).manufactureText();
}

QStringList EdidIdentity::lines(const EdidImage& image) {
    const Fields f = read(image);
    const auto orNone = [](const QString& text, quint8 tag, const EdidImage& img) {
        return EdidInfo::descriptorOffset(img, tag) < 0 ? QStringLiteral("none") : text;
    };
    QStringList free;
    for (int at : freeSlots(image))
        free << QStringLiteral("descriptor %1")
                    .arg((at - EdidInfo::DescriptorOffsets[0]) / EdidInfo::DescriptorSize + 1);
    std::sort(free.begin(), free.end());
    return {
        QStringLiteral("Manufacturer: %1").arg(f.vendor),
        QStringLiteral("Product code: %1 (0x%2)")
            .arg(f.product)
            .arg(f.product, 4, 16, QLatin1Char('0')),
        QStringLiteral("Serial number: %1").arg(f.serialNumber),
        QStringLiteral("Made in: %1").arg(dateText(f.week, f.year)),
        QStringLiteral("Monitor name: %1").arg(orNone(f.name, NameTag, image)),
        QStringLiteral("Serial text: %1").arg(orNone(f.serialText, SerialTextTag, image)),
        QStringLiteral("Free descriptor slots: %1")
            .arg(free.isEmpty() ? QStringLiteral("none") : free.join(QStringLiteral(", "))),
    };
}
