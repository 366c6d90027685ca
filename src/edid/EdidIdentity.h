#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "edid/EdidImage.h"

// The fields of block 0 that tell one display from another of the same model: manufacturer,
// product code, serial number, week and year of manufacture (or model year), monitor name and
// serial number text. Writing changes only the bytes of the fields that differ, then block 0's
// checksum; every other byte stays as it was.
class EdidIdentity {
public:
    static constexpr int TextLength = 13;  // characters of a text descriptor
    static constexpr quint8 NameTag = 0xFC;
    static constexpr quint8 SerialTextTag = 0xFF;
    static constexpr quint8 DummyTag = 0x10;  // an unused descriptor slot
    static constexpr int ModelYearWeek = 0xFF;
    static constexpr int MaxWeek = 54;
    static constexpr int FirstYear = 1990;
    static constexpr int LastYear = FirstYear + 255;

    struct Fields {
        QString vendor;  // three letters A to Z
        quint16 product = 0;
        quint32 serialNumber = 0;
        int week = 0;  // 1..54, 0 when not given, ModelYearWeek when year is the model year
        int year = FirstYear;
        QString name;        // empty: no monitor name descriptor
        QString serialText;  // empty: no serial number text descriptor
        bool modelYear() const { return week == ModelYearWeek; }
        bool operator==(const Fields& o) const;
        bool operator!=(const Fields& o) const { return !(*this == o); }
    };

    static Fields read(const EdidImage& image);
    // Makes block 0 declare fields. A text that was absent goes into a free slot (a dummy
    // descriptor), never over a timing or another descriptor; an emptied text turns its
    // descriptor into a dummy one. False, with a message and the image untouched, when a
    // changed field cannot be held.
    static bool write(EdidImage& image, const Fields& fields, QString& error);

    // Empty when text can stand in a text descriptor, else why not.
    static QString textProblem(const QString& text);
    static QString vendorProblem(const QString& vendor);
    static QString dateProblem(int week, int year);
    // Offsets of block 0's dummy descriptors.
    static QList<int> freeSlots(const EdidImage& image);
    // "Manufacturer: DEL", ..., "Serial text: G3D7F68O0LLB", "Free descriptor slots: none".
    static QStringList lines(const EdidImage& image);
    // "week 35 of 2016", "model year 2020", "2002".
    static QString dateText(int week, int year);
};
