#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

#include "timing/TimingTable.h"

// orve1ctl's offline EDID commands: they read files only and talk to no generator. Each
// returns the exit status and leaves what goes to standard output and standard error in out
// and err.
class EdidCommands {
public:
    // Exit statuses of edid-info.
    static constexpr int Sound = 0;
    static constexpr int ChecksumFails = 1;
    static constexpr int NotAnEdid = 2;
    // Exit statuses of edid-diff.
    static constexpr int Equal = 0;
    static constexpr int Different = 1;
    static constexpr int Unreadable = 2;

    // The summary of the EDID in path and one checksum line per block of it.
    static int info(const QString& path, QString& out, QString& err);
    // The bytes in which the EDIDs in pathA and pathB differ, with the fields they touch.
    static int diff(const QString& pathA, const QString& pathB, QString& out, QString& err);
    // edid-info --timings: one line a mode the EDID in path declares, with the built-in
    // timings it declares; exit statuses as info's.
    static int timings(const QString& path, QString& out, QString& err);
    // timings edid:FILE: the built-in timings the EDID in path declares, as flags; false with
    // err when it is no EDID or declares none.
    static bool declaredSelection(const QString& path, std::array<quint8, TimingCount>& flags,
                                  QString& err);

private:
    // The file's EDID and a description ("raw, 256 bytes"); false with err set.
    static bool load(const QString& path, QByteArray& bytes, QString& how, QString& err);
    // The same, refused with err "PATH: not an EDID: why" unless it starts with a base block.
    static bool loadEdid(const QString& path, QByteArray& bytes, QString& how, QString& err);
};
