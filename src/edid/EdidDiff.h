#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Byte by byte comparison of two EDIDs, with the field of the EDID that each differing byte
// belongs to and the decoded values that differ.
class EdidDiff {
public:
    struct Difference {
        int offset = 0;
        int a = -1;  // the byte, or -1 where that EDID has ended
        int b = -1;
        QString field;
    };
    struct FieldChange {
        QString name;  // "Product code"
        QString a;
        QString b;
    };

    // Every offset below the longer length at which the two differ.
    static QList<Difference> compare(const QByteArray& a, const QByteArray& b);
    // The field that the byte at offset belongs to, as edid (and other, where it decides
    // differently) lays it out: "product code", "descriptor 2 (monitor name)", "block 1
    // checksum".
    static QString fieldAt(const QByteArray& edid, const QByteArray& other, int offset);
    // The summary lines (EdidInfo) of the two 256-byte images that differ.
    static QList<FieldChange> fieldChanges(const QByteArray& a, const QByteArray& b);
    // The differences as orve1ctl edid-diff prints them: a table of offsets, bytes and fields,
    // a count, then the decoded fields that differ; one line when the two are equal.
    static QStringList report(const QByteArray& a, const QByteArray& b);
};
