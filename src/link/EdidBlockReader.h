#pragma once

#include <QtGlobal>

#include "edid/EdidImage.h"

// The block phase of an EDID read: which block to ask for, when to ask again, and when what the
// generator sent can be taken for which block. The engine hands it, once per supervision tick,
// what the receive poll has gathered since the last request; it answers with one action and the
// engine does the sending, the gauge and the messages.
//
// A block's answer is "A", 64 hexadecimal digits, "T", and then anything (line ends, "OK", text)
// that is ignored, in the same chunk or in later ones. Answers carry no offset, so a block is
// taken in only when it cannot be the answer to an earlier request:
// - a block is asked for again only once the earlier request's answer has come spoilt or can no
//   longer come (its time-out), so a slow block is waited for, not asked for twice;
// - when a block was asked for more than once, the next request waits until every answer has
//   come or can no longer come;
// - two answers at once (the generator repeated itself) are never taken: once nothing asked so
//   far can still be answered, the read starts again from the first block, once;
// - a repeated answer that came alone would have been taken for a later block, which then holds
//   the same 32 bytes as an earlier one, and the last request's own answer would still be on its
//   way. So when the image holds two equal blocks, the read ends only after the line stays
//   quiet (of answers) for longer than the slowest answer seen.
// A healthy generator that answers at once, with or without text after its blocks, gives one
// block per tick.
class EdidBlockReader {
public:
    static constexpr int BlockBytes = 32;
    static constexpr int Blocks = 8;
    // Supervision ticks a block's answer may take; an answer that has not come by then is lost.
    static constexpr int BlockTimeoutTicks = 9;
    // Requests of one block beyond the first before the read gives up.
    static constexpr int BlockRetries = 2;
    // Fresh starts of a read after the generator answered twice at once.
    static constexpr int Restarts = 1;
    // Hexadecimal digits after an "A" that make it the start of an answer. Text after a block is
    // words and codes ("OK", "READY", a status such as "A5"): no word packs this many hexadecimal
    // letters after an "A" (FACADE has 4, DEFACED 5), while an answer cut short on the way keeps
    // far more of its 64 digits. Fewer are text, unless they are still coming in.
    static constexpr int StartDigits = 8;

    enum class Step {
        Wait,      // nothing to do this tick
        Request,   // send a request for the block at offset (a new one, again, or from 0)
        Complete,  // image() holds the generator's 256 bytes
        Fail,      // the read cannot end well
    };
    struct Action {
        Step step = Step::Wait;
        int offset = 0;        // Request: the block's offset
        int gauge = -1;        // Request: the progress to show, or -1 to leave it
        bool discard = false;  // forget what has been gathered so far
    };

    // The first reply was accepted: the request for block 0.
    Action begin();
    // One supervision tick, with the bytes gathered since the last request or discard.
    Action tick(const quint8* reply, int length);
    const EdidImage& image() const { return image_; }

    // What the gathered bytes hold, read front to back: whole blocks, answers spoilt on the way
    // (an "A" and StartDigits or more digits, then something else), and whether the bytes end in
    // an "A" with digits that may still grow into an answer (tailDigits; -1 when they do not).
    struct Scan {
        int blocks = 0;
        int spoilt = 0;
        int firstBlock = -1;  // where the first whole block starts
        int tailDigits = -1;
    };
    static Scan scan(const quint8* bytes, int length);

private:
    enum class Phase {
        Awaiting,    // the answer to the current block's request is awaited
        Settling,    // the block is in; answers to its repeated requests may still come
        Quieting,    // two answers came at once; waiting until nothing old can still come
        Confirming,  // the last block is in; no answer to an earlier request may still come
    };

    Action request(int offset, int gauge);
    Action next();
    Action again();
    Action doubtful();
    Action blockDone();
    bool hasEqualBlocks() const;

    Phase phase_ = Phase::Awaiting;
    int offset_ = 0;       // offset of the block being read
    int ticks_ = 0;        // supervision ticks since the first block request
    int requestTick_ = 0;  // ticks_ when the current block was last requested
    int requests_ = 0;     // requests sent for the current block
    int answers_ = 0;      // whole answers (taken or spoilt) seen for the current block
    int slowest_ = 1;      // the most ticks a block's answer has taken in this read
    int restarts_ = 0;
    int lastLength_ = 0;
    EdidImage image_{};
};
