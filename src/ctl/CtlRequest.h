#pragma once

#include <QString>
#include <QtGlobal>

#include "edid/EdidImage.h"
#include "link/CommandData.h"
#include "link/CommandSlot.h"
#include "programme/ProgramColumns.h"

// One run of the command-line companion, fully checked before anything is sent.
struct CtlRequest {
    enum class Kind {
        Probe,
        Timing,
        Pattern,
        Default,
        Timings,
        Patterns,
        Programme,
        EdidRead,
        EdidUpload,
        EdidWrite
    };

    Kind kind = Kind::Probe;
    quint8 port = 1;
    quint8 index = 0;  // timing or pattern index (number - 1)
    std::array<quint8, CommandData::TimingCount> timings{};
    std::array<quint8, CommandData::PatternCount> patterns{};
    ProgramColumns programme;
    EdidImage edid{};
    QString file;  // edid-read: where the image goes

    // The engine command that carries this request; Urtcnt for a plain probe.
    Command command() const;
};
