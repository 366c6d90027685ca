#include "ProtocolMachine.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "EdidFile.h"
#include "edid/EdidCodec.h"

namespace {

enum class Cmd { Urtcnt, Tmix, Ptix, Tmgs, Ptns, Atrn, Dfset, Redid, Uedid, Wedid };

constexpr int OpenEnded = -1;  // block requests until the next command

struct SimCommand {
    Cmd cmd;
    const char* keyword;
    quint8 argument;
    int dataBytes;
    const char* firstReply;
};

// Columns: command, keyword, argument byte, framed data bytes after the first reply,
// first reply.
constexpr SimCommand Commands[] = {
    {Cmd::Urtcnt, "URTCNT", 0, 0, "OK"},
    {Cmd::Tmix, "TMIX", 1, 1, "OK"},
    {Cmd::Ptix, "PTIX", 1, 1, "OK"},
    {Cmd::Tmgs, "TMGS", 37, 1 + TimingCount + 1, "OK"},
    {Cmd::Ptns, "PTNS", 41, 1 + PatternCount + 1, "OK"},
    {Cmd::Atrn, "ATRN", 130, 1 + 4 * GeneratorMemory::ProgrammeSteps + 1, "OK"},
    {Cmd::Dfset, "DFSET", 0, 0, "OK"},
    {Cmd::Redid, "REDID", 0, OpenEnded, "OK1"},
    {Cmd::Uedid, "UEDID", 255, 256, "OK"},
    {Cmd::Wedid, "WEDID", 0, 1, "OK"},
};

constexpr size_t MaxKeyword = 8;
constexpr int TruncatedBlock = 30;

bool isCapital(quint8 b) {
    return b >= 'A' && b <= 'Z';
}

std::string hex(quint8 b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

}  // namespace

ProtocolMachine::ProtocolMachine(const SimOptions& options, GeneratorMemory& memory)
    : options_(options), memory_(memory) {
    for (const SimOptions::EdidFault& f : options_.edidFaults) faultsLeft_.push_back(f.count);
}

bool ProtocolMachine::feed(quint8 byte, Outcome* out) {
    *out = Outcome();
    const int strayBefore = strayBytes_;
    if (!step(byte, out))
        return false;
    // Stray bytes are only counted while idle, so they all came before this exchange.
    if (strayBefore > 0) {
        out->line += " [" + std::to_string(strayBefore) +
                     (strayBefore == 1 ? " stray byte" : " stray bytes") + " ignored before]";
        strayBytes_ = 0;
    }
    return true;
}

bool ProtocolMachine::step(quint8 b, Outcome* out) {
    switch (stage_) {
        case Stage::Idle:
            if (isCapital(b))
                startKeyword(b);
            else
                ++strayBytes_;
            return false;
        case Stage::Keyword:
            if (b == ' ') {
                stage_ = Stage::Argument;
                return false;
            }
            if (isCapital(b) && keyword_.size() < MaxKeyword) {
                keyword_ += static_cast<char>(b);
                return false;
            }
            return brokenFrame(b, ' ', out);
        case Stage::Argument:
            argument_ = b;
            stage_ = Stage::FrameBlank;
            return false;
        case Stage::FrameBlank:
            if (b != ' ')
                return brokenFrame(b, ' ', out);
            stage_ = Stage::FrameLineFeed;
            return false;
        case Stage::FrameLineFeed:
            if (b != '\n')
                return brokenFrame(b, '\n', out);
            stage_ = Stage::FrameReturn;
            return false;
        case Stage::FrameReturn:
            if (b != '\r')
                return brokenFrame(b, '\r', out);
            return frameComplete(out);
        case Stage::DataLead:
            if (b == ' ') {
                stage_ = Stage::DataValue;
                return false;
            }
            if (isCapital(b)) {
                // A new command ends any data phase; only a fixed-length one is then incomplete.
                const SimCommand& row = Commands[command_];
                startKeyword(b);
                if (row.dataBytes == OpenEnded)
                    return false;
                out->line = std::string(row.keyword) + " data phase cut off after " +
                            std::to_string(data_.size()) + " of " + std::to_string(row.dataBytes) +
                            " bytes";
                return true;
            }
            return brokenData(b, out);
        case Stage::DataValue:
            value_ = b;
            stage_ = Stage::DataTrail;
            return false;
        case Stage::DataTrail:
            if (b != ' ')
                return brokenData(b, out);
            return dataByte(value_, out);
    }
    return false;
}

void ProtocolMachine::startKeyword(quint8 letter) {
    keyword_.assign(1, static_cast<char>(letter));
    stage_ = Stage::Keyword;
}

bool ProtocolMachine::brokenFrame(quint8 b, quint8 expected, Outcome* out) {
    out->line = keyword_ + " frame broken: " + hex(b) + " where " + hex(expected) +
                " belongs -> not answered";
    stage_ = Stage::Idle;
    if (isCapital(b))
        startKeyword(b);
    return true;
}

bool ProtocolMachine::brokenData(quint8 b, Outcome* out) {
    out->line = std::string(Commands[command_].keyword) + " data byte " +
                std::to_string(dataCount_ + 1) + " broken: " + hex(b) +
                " where 0x20 belongs -> command dropped";
    stage_ = Stage::Idle;
    if (isCapital(b))
        startKeyword(b);
    return true;
}

bool ProtocolMachine::frameComplete(Outcome* out) {
    stage_ = Stage::Idle;
    if (options_.hangupAtFrame > 0 && ++frames_ == options_.hangupAtFrame) {
        out->line =
            keyword_ + " hang-up at frame " + std::to_string(frames_) + " [--hangup-at-frame]";
        out->hangup = true;
        return true;
    }
    command_ = -1;
    for (size_t i = 0; i < std::size(Commands); ++i) {
        if (keyword_ == Commands[i].keyword)
            command_ = static_cast<int>(i);
    }
    if (command_ < 0) {
        out->line = keyword_ + " argument " + hex(argument_) + " -> unknown command, not answered";
        return true;
    }
    const SimCommand& row = Commands[command_];
    if (argument_ != row.argument) {
        out->line = keyword_ + " argument " + std::to_string(argument_) + " (expected " +
                    std::to_string(row.argument) + ") -> NG";
        answer(out, "NG", ReplyKind::First);
        return true;
    }
    if (options_.rejectFirst) {
        out->line = keyword_ + " -> NG [--reject first]";
        answer(out, "NG", ReplyKind::First);
        return true;
    }
    if (row.cmd == Cmd::Dfset) {
        memory_.restoreDefaults();
        out->line = "DFSET -> defaults restored";
    } else {
        out->line = keyword_ + " -> " + row.firstReply;
    }
    answer(out, row.firstReply, ReplyKind::First);
    if (row.dataBytes != 0) {
        stage_ = Stage::DataLead;
        data_.clear();
        dataCount_ = 0;
    }
    return true;
}

bool ProtocolMachine::dataByte(quint8 value, Outcome* out) {
    const SimCommand& row = Commands[command_];
    ++dataCount_;
    if (options_.hangupAfter > 0 && dataCount_ == options_.hangupAfter) {
        out->line = std::string(row.keyword) + " hang-up after " + std::to_string(dataCount_) +
                    " data bytes [--hangup-after]";
        out->hangup = true;
        stage_ = Stage::Idle;
        return true;
    }
    stage_ = Stage::DataLead;
    if (row.dataBytes == OpenEnded)
        return blockRequest(value, out);
    data_.push_back(value);
    if (static_cast<int>(data_.size()) < row.dataBytes)
        return false;
    stage_ = Stage::Idle;
    return dataComplete(out);
}

bool ProtocolMachine::dataComplete(Outcome* out) {
    const std::string keyword = Commands[command_].keyword;
    const std::string refusal = dataFault();
    std::string line;
    if (!refusal.empty()) {
        out->line = keyword + " " + refusal + " -> NG";
    } else if (options_.rejectFinal) {
        out->line = keyword + " data -> NG [--reject final]";
    } else if (!apply(&line)) {
        out->line = keyword + " " + line + " -> NG";
    } else {
        out->line = keyword + " " + line;
        answer(out, "OK", ReplyKind::Final);
        return true;
    }
    answer(out, "NG", ReplyKind::Final);
    return true;
}

std::string ProtocolMachine::dataFault() const {
    const Cmd cmd = Commands[command_].cmd;
    const quint8 first = data_[0];
    if ((cmd == Cmd::Tmix && first >= TimingCount) || (cmd == Cmd::Ptix && first >= PatternCount))
        return std::to_string(first) + ": no such " + (cmd == Cmd::Tmix ? "timing" : "pattern");
    if (cmd == Cmd::Wedid && first != 1)
        return "value " + std::to_string(first) + " wrong";
    if (cmd == Cmd::Tmgs || cmd == Cmd::Ptns || cmd == Cmd::Atrn) {
        const int count = cmd == Cmd::Tmgs   ? TimingCount
                          : cmd == Cmd::Ptns ? PatternCount
                                             : GeneratorMemory::ProgrammeSteps;
        if (first != count)
            return "count " + std::to_string(first) + " wrong (expected " + std::to_string(count) +
                   ")";
        quint8 sum = 0;
        for (quint8 b : data_) sum = static_cast<quint8>(sum + b);
        if (sum != 0)
            return "checksum wrong";
    }
    return std::string();
}

bool ProtocolMachine::apply(std::string* line) {
    const quint8 first = data_[0];
    switch (Commands[command_].cmd) {
        case Cmd::Tmix:
            memory_.timing = first;
            *line = std::to_string(first) + " -> output timing " + std::to_string(first + 1) +
                    " \"" + TimingTable[first].Name + "\"" +
                    (memory_.offeredTimings[first] ? "" : " (not offered)");
            return true;
        case Cmd::Ptix:
            memory_.pattern = first;
            *line = std::to_string(first) + " -> output pattern " + std::to_string(first + 1) +
                    " \"" + PatternTable[first].Name + "\"" +
                    (memory_.offeredPatterns[first] ? "" : " (not offered)");
            return true;
        case Cmd::Tmgs:
        case Cmd::Ptns: {
            const bool timings = Commands[command_].cmd == Cmd::Tmgs;
            quint8* flags =
                timings ? memory_.offeredTimings.data() : memory_.offeredPatterns.data();
            int offered = 0;
            std::string numbers;
            for (int i = 0; i < first; ++i) {
                flags[i] = data_[1 + i] != 0 ? 1 : 0;
                if (flags[i]) {
                    ++offered;
                    numbers += " " + std::to_string(i + 1);
                }
            }
            *line = std::to_string(offered) + " offered -> OK:" + numbers;
            return true;
        }
        case Cmd::Atrn: {
            int used = 0;
            std::string steps;
            for (int s = 0; s < GeneratorMemory::ProgrammeSteps; ++s) {
                GeneratorMemory::Step& step = memory_.programme[s];
                std::copy_n(data_.begin() + 1 + 4 * s, 4, step.begin());
                const quint8 e = GeneratorMemory::Empty;
                if (step == GeneratorMemory::Step{e, e, e, e})
                    continue;
                ++used;
                steps += " [" + std::to_string(step[0]) + " " + std::to_string(step[1]) + " " +
                         std::to_string(step[2]) + " " + std::to_string(step[3]) + "]";
            }
            *line = std::to_string(used) + " steps -> OK:" + steps;
            return true;
        }
        case Cmd::Uedid:
            std::copy(data_.begin(), data_.end(), memory_.edid.begin());
            *line = "256 bytes -> stored";
            if (options_.spoilUpload >= 0) {
                memory_.edid[options_.spoilUpload] ^= 0x01;
                *line += " with byte " + std::to_string(options_.spoilUpload) +
                         " spoilt [--spoil-upload]";
            }
            return true;
        case Cmd::Wedid: {
            if (options_.edidFile.empty()) {
                *line = "-> kept in memory (no --edid file)";
                return true;
            }
            std::string error;
            const bool written = EdidFile::save(options_.edidFile, memory_.edid, &error);
            *line = written ? "-> written to " + options_.edidFile
                            : "cannot write " + options_.edidFile + ": " + error;
            return written;
        }
        default:
            return false;
    }
}

bool ProtocolMachine::blockRequest(quint8 offset, Outcome* out) {
    if (offset % EdidCodec::BlockBytes != 0) {
        out->line = "REDID offset " + hex(offset) + " -> not a block offset, not answered";
        return true;
    }
    const int block = offset / EdidCodec::BlockBytes;
    QByteArray text = EdidCodec::encodeBlock(memory_.edid.data() + offset);
    out->line = "REDID block " + hex(offset) + " -> sent";
    for (size_t i = 0; i < options_.edidFaults.size(); ++i) {
        const SimOptions::EdidFault& fault = options_.edidFaults[i];
        if (fault.block != block || faultsLeft_[i] == 0)
            continue;
        --faultsLeft_[i];
        switch (fault.kind) {
            case SimOptions::EdidFault::Kind::Drop:
                out->line = "REDID block " + hex(offset) + " -> dropped [--edid-fault]";
                return true;
            case SimOptions::EdidFault::Kind::Truncate:
                text.truncate(TruncatedBlock);
                out->line = "REDID block " + hex(offset) + " -> first " +
                            std::to_string(TruncatedBlock) + " of " +
                            std::to_string(EdidCodec::BlockTextLength) +
                            " bytes sent [--edid-fault]";
                break;
            case SimOptions::EdidFault::Kind::Corrupt:
                text[1] = 'G';
                out->line =
                    "REDID block " + hex(offset) + " -> sent with a bad digit [--edid-fault]";
                break;
        }
        break;
    }
    answerBytes(out, text + QByteArray::fromStdString(options_.blockTrailer), ReplyKind::Block);
    return true;
}

void ProtocolMachine::answer(Outcome* out, const char* text, ReplyKind kind) {
    answerBytes(out, QByteArray(text) + "\r\n", kind);
}

void ProtocolMachine::answerBytes(Outcome* out, const QByteArray& bytes, ReplyKind kind) {
    if (options_.silent) {
        out->line += " [not answered: --silent]";
        return;
    }
    if (kind == ReplyKind::Final && options_.noFinal) {
        out->line += " [not answered: --no-final]";
        return;
    }
    out->reply = bytes;
    out->kind = kind;
}
