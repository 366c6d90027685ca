#pragma once

#include <QByteArray>
#include <QString>

// Every file the operator names or the program writes goes through here: reads that never block
// on a pipe or device, and writes that are complete or not there at all. The system calls differ
// per platform (SafeFilePosix.cpp, SafeFileWindows.cpp); callers see one behaviour.
//
// Failures return false with error set to "path: reason", the reason in the system's words.
class SafeFile {
public:
    // At most maxBytes from the start of a regular file into out (unchanged on failure). A pipe
    // or a device could block the program or never end, and a read error must never pass for a
    // short file, so anything but a regular file is refused.
    static bool readRegular(const QString& path, qint64 maxBytes, QByteArray& out, QString& error);

    // Makes path hold exactly bytes (Save As). The new content goes to a file beside path that
    // replaces it once complete, so a failure leaves the old file as it was. Where replacing the
    // file would change what it is (split a hard link, change its owner or group) or cannot work
    // (a folder that may not be written holding a file that may), the bytes are written into
    // the file itself instead, after room for them is made. A link is followed. A file the
    // operator may not write is refused, even where its folder would let it be replaced.
    static bool replace(const QString& path, const QByteArray& bytes, QString& error);

    // Writes bytes to a new file at path (a report): complete or not at all, and never over an
    // existing file, not even one that appears while this runs.
    static bool createNew(const QString& path, const QByteArray& bytes, QString& error);

    // Appends record (whole lines, ending in a line feed) to the log at path, under an exclusive
    // lock held only for this call, so that several programs appending at once never mix or
    // lose lines. A new or empty log gets header first. A record that could not be written whole
    // is taken back, so the log never ends in half a line.
    static bool appendRecord(const QString& path, const QByteArray& header,
                             const QByteArray& record, QString& error);

    // Why a file could not be written at path (a folder, a file or folder that may not be
    // written); empty when it looks writable. Asked before work whose result would be lost.
    static QString writeProblem(const QString& path);
};
