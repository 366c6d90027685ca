#pragma once

#include <QtGlobal>

#include "link/CommandSlot.h"

// What follows an accepted first reply.
enum class DataPhase : quint8 {
    None,         // URTCNT, DFSET: the first reply settles the command
    IndexByte,    // TMIX, PTIX: one framed byte, the selected index
    TableUpload,  // TMGS, PTNS, ATRN: count, table, checksum
    EdidBlocks,   // REDID: block requests, one per tick
    EdidUpload,   // UEDID: the 256 image bytes
    WriteByte,    // WEDID: one framed byte of value 1
};

// Where ShowDeviceAbsent falls relative to the message of a rejected reply.
enum class AbsentOnReject : quint8 { No, BeforeMessage, AfterMessage };

// One row per command, in the fixed visiting order.
// Columns: command, keyword, argument byte, text the first reply must contain,
// time-out in 100 ms poll ticks while AwaitingReply / AwaitingFinal (fires when the count is
// greater), data phase, message on success (nullptr: none), presence marked on success,
// absent on a rejected first reply, message for a rejected first reply (nullptr: none),
// message for a rejected final reply, absent on a rejected final reply,
// firstReplyTicks cleared on a rejected first reply.
struct CommandRow {
    Command command;
    const char* keyword;
    quint8 argument;
    const char* firstExpected;
    quint8 firstTimeout;
    quint8 finalTimeout;
    DataPhase dataPhase;
    const char* successMessage;
    bool presentOnSuccess;
    AbsentOnReject firstReject;
    const char* firstRejectMessage;
    const char* finalRejectMessage;
    AbsentOnReject finalReject;
    bool clearTicksOnFirstReject;
};

inline constexpr CommandRow CommandTable[CommandCount] = {
    {Command::Urtcnt, "URTCNT", 0, "OK", 16, 0, DataPhase::None, nullptr, true,
     AbsentOnReject::BeforeMessage, nullptr, nullptr, AbsentOnReject::No, false},
    {Command::Tmix, "TMIX", 1, "OK", 16, 16, DataPhase::IndexByte, nullptr, true,
     AbsentOnReject::No, "Error!!", "Error!!", AbsentOnReject::No, false},
    {Command::Ptix, "PTIX", 1, "OK", 16, 16, DataPhase::IndexByte, nullptr, true,
     AbsentOnReject::No, "Error!!", "Error!!", AbsentOnReject::No, false},
    {Command::Tmgs, "TMGS", 37, "OK", 16, 70, DataPhase::TableUpload, "Upload successful!!", true,
     AbsentOnReject::No, "Error!!", "Error!!", AbsentOnReject::No, false},
    {Command::Ptns, "PTNS", 41, "OK", 16, 70, DataPhase::TableUpload, "Upload successful!!", true,
     AbsentOnReject::No, "Error!!", "Error!!", AbsentOnReject::No, false},
    {Command::Atrn, "ATRN", 130, "OK", 16, 70, DataPhase::TableUpload, "Upload successful!!", true,
     AbsentOnReject::No, "Error!!", "Error!!", AbsentOnReject::No, false},
    {Command::Dfset, "DFSET", 0, "OK", 16, 0, DataPhase::None, "Upload Successful!!", true,
     AbsentOnReject::BeforeMessage, "Error!!", nullptr, AbsentOnReject::No, false},
    // The read's block phase keeps time-outs of its own (EdidBlockReader::BlockTimeoutTicks).
    {Command::Redid, "REDID", 0, "OK1", 45, 0, DataPhase::EdidBlocks, "  Read EDID Successful!!  ",
     false, AbsentOnReject::BeforeMessage, "Error!!", nullptr, AbsentOnReject::No, true},
    {Command::Uedid, "UEDID", 255, "OK", 16, 70, DataPhase::EdidUpload, "Upload successful!!", true,
     AbsentOnReject::No, "Error!!", "Error!!", AbsentOnReject::No, false},
    {Command::Wedid, "WEDID", 0, "OK", 16, 100, DataPhase::WriteByte, "Write EDID successful!!",
     true, AbsentOnReject::AfterMessage, "Error!!", "Write EDID Fail!!",
     AbsentOnReject::AfterMessage, true},
};

inline constexpr const CommandRow& commandRow(Command c) {
    return CommandTable[static_cast<int>(c)];
}
