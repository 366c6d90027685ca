#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <string>
#include <vector>

#include "GeneratorMemory.h"
#include "SimOptions.h"

// The generator's side of the dialogue, fed one received byte at a time. Neither argument nor
// data bytes are escaped, so fields are told apart by their position alone. Knows nothing of
// time or file descriptors: it says what to answer and the I/O side decides when.
class ProtocolMachine {
public:
    enum class ReplyKind { None, First, Final, Block };

    // What one byte completed or broke.
    struct Outcome {
        std::string line;  // one readable line for the exchange log
        QByteArray reply;  // bytes to send; empty for none
        ReplyKind kind = ReplyKind::None;
        bool hangup = false;  // close the line instead of answering
    };

    ProtocolMachine(const SimOptions& options, GeneratorMemory& memory);

    // True when byte ended an exchange, described in *out.
    bool feed(quint8 byte, Outcome* out);

private:
    enum class Stage {
        Idle,
        Keyword,
        Argument,
        FrameBlank,
        FrameLineFeed,
        FrameReturn,
        DataLead,
        DataValue,
        DataTrail,
    };

    bool step(quint8 byte, Outcome* out);
    void startKeyword(quint8 letter);
    bool brokenFrame(quint8 byte, quint8 expected, Outcome* out);
    bool brokenData(quint8 byte, Outcome* out);
    bool frameComplete(Outcome* out);
    bool dataByte(quint8 value, Outcome* out);
    bool dataComplete(Outcome* out);
    bool blockRequest(quint8 offset, Outcome* out);
    // Why the completed data phase is refused (index out of range, wrong count or checksum,
    // wrong write byte); empty when it is fine.
    std::string dataFault() const;
    // Takes the accepted data over; *line says what changed (or why a write failed).
    bool apply(std::string* line);
    void answer(Outcome* out, const char* text, ReplyKind kind);
    void answerBytes(Outcome* out, const QByteArray& bytes, ReplyKind kind);

    const SimOptions& options_;
    GeneratorMemory& memory_;
    Stage stage_ = Stage::Idle;
    std::string keyword_;
    quint8 argument_ = 0;
    int command_ = -1;  // row of the command whose data phase runs
    quint8 value_ = 0;
    std::vector<quint8> data_;
    int dataCount_ = 0;  // framed bytes of this data phase, block requests included
    int frames_ = 0;     // command frames taken in since the start
    int strayBytes_ = 0;
    std::vector<int> faultsLeft_;  // per entry of options_.edidFaults
};
