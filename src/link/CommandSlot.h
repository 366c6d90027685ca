#pragma once

#include <QtGlobal>

// State byte of one command. The value 3 is never used; the numbers are part of the
// link's record layout and so are fixed.
enum class CommandSlot : quint8 {
    Idle = 0,
    AwaitingReply = 1,
    ReplyArrived = 2,
    AwaitingFinal = 4,
    FinalArrived = 5,
};

// The ten commands, in the fixed order in which the poll, the tick and AnyCommandBusy visit them.
enum class Command : quint8 {
    Urtcnt,
    Tmix,
    Ptix,
    Tmgs,
    Ptns,
    Atrn,
    Dfset,
    Redid,
    Uedid,
    Wedid,
};

constexpr int CommandCount = 10;
