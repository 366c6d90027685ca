#include "link/EdidBlockReader.h"

#include <algorithm>

#include "edid/EdidCodec.h"

namespace {

bool isDigit(quint8 c) {
    return EdidCodec::digitValue(c) >= 0;
}

}  // namespace

EdidBlockReader::Scan EdidBlockReader::scan(const quint8* bytes, int length) {
    Scan s;
    // Answers spoilt on the way between whole blocks (or after the last): an "A" and enough
    // digits, ended by something else. Digits that run to the end of what came may be an answer
    // still coming in.
    auto between = [&](int from, int to, bool atEnd) {
        for (int i = from; i < to; ++i) {
            if (bytes[i] != 'A')
                continue;
            int digits = 0;
            while (i + 1 + digits < to && digits < 2 * BlockBytes && isDigit(bytes[i + 1 + digits]))
                ++digits;
            const int end = i + 1 + digits;
            if (end == to && atEnd) {
                s.tailDigits = digits;
                return;
            }
            if (digits >= StartDigits) {
                ++s.spoilt;
                i = end - 1;
            }
        }
    };
    int p = 0;
    while (p < length) {
        const int found = EdidCodec::findBlock(bytes + p, length - p);
        if (found < 0) {
            between(p, length, true);
            break;
        }
        between(p, p + found, false);
        ++s.blocks;
        if (s.firstBlock < 0)
            s.firstBlock = p + found;
        p += found + EdidCodec::BlockTextLength;
    }
    return s;
}

EdidBlockReader::Action EdidBlockReader::begin() {
    ticks_ = 0;
    slowest_ = 1;
    restarts_ = 0;
    offset_ = 0;
    return next();
}

EdidBlockReader::Action EdidBlockReader::request(int offset, int gauge) {
    requestTick_ = ticks_;
    ++requests_;
    lastLength_ = 0;
    Action a;
    a.step = Step::Request;
    a.offset = offset;
    a.gauge = gauge;
    // A cleared accumulator means an old block can never pass for the one requested now.
    a.discard = true;
    return a;
}

EdidBlockReader::Action EdidBlockReader::next() {
    phase_ = Phase::Awaiting;
    requests_ = 0;
    answers_ = 0;
    return request(offset_, 100 * offset_ / 255);
}

EdidBlockReader::Action EdidBlockReader::again() {
    if (requests_ > BlockRetries) {
        Action fail;
        fail.step = Step::Fail;
        return fail;
    }
    return request(offset_, -1);
}

EdidBlockReader::Action EdidBlockReader::doubtful() {
    // More answers than requests: which block holds which answer is no longer certain.
    Action a;
    if (restarts_ >= Restarts) {
        a.step = Step::Fail;
        return a;
    }
    ++restarts_;
    phase_ = Phase::Quieting;
    a.discard = true;
    lastLength_ = 0;
    return a;
}

EdidBlockReader::Action EdidBlockReader::blockDone() {
    Action a;
    a.discard = true;
    lastLength_ = 0;
    if (offset_ + BlockBytes < Blocks * BlockBytes) {
        offset_ += BlockBytes;
        return next();
    }
    if (hasEqualBlocks())
        phase_ = Phase::Confirming;
    else
        a.step = Step::Complete;
    return a;
}

bool EdidBlockReader::hasEqualBlocks() const {
    const auto block = [this](int i) { return image_.begin() + i * BlockBytes; };
    for (int i = 1; i < Blocks; ++i) {
        for (int k = 0; k < i; ++k) {
            if (std::equal(block(k), block(k) + BlockBytes, block(i)))
                return true;
        }
    }
    return false;
}

EdidBlockReader::Action EdidBlockReader::tick(const quint8* reply, int length) {
    ++ticks_;
    const int age = ticks_ - requestTick_;
    const bool arriving = length != lastLength_;
    lastLength_ = length;
    const Scan s = scan(reply, length);
    // Only whole blocks are counted as answers: pieces of one answer that came apart could
    // otherwise count twice, and an answer counted that was not there lets the next request
    // take a late one. Pieces still tell that something answered.
    const bool pieces = s.spoilt > 0 || s.tailDigits >= StartDigits;
    // A few digits at the end may still grow into an answer while bytes keep coming.
    const bool growing = s.tailDigits >= 0 && s.tailDigits < StartDigits && arriving;

    switch (phase_) {
        case Phase::Awaiting:
            if (s.blocks > 1 || (s.blocks == 1 && pieces))
                return doubtful();
            if (growing)
                return {};
            if (s.blocks == 1) {
                ++answers_;
                EdidCodec::decodeDigits(reply + s.firstBlock + 1, BlockBytes,
                                        image_.data() + offset_);
                slowest_ = std::max(slowest_, age);
                if (answers_ < requests_) {
                    phase_ = Phase::Settling;
                    Action a;
                    a.discard = true;
                    lastLength_ = 0;
                    return a;
                }
                return blockDone();
            }
            // An answer that came spoilt or cut short and has stopped coming: ask again now.
            // Nothing, text, or part of an answer: wait for it as long as it may still come.
            if ((pieces && !arriving) || age > BlockTimeoutTicks)
                return again();
            return {};

        case Phase::Settling:
            // Counted over all that came since the block was taken.
            if (answers_ + s.blocks >= requests_ || (age > BlockTimeoutTicks && !arriving))
                return blockDone();
            return {};

        case Phase::Quieting: {
            // Whatever was asked so far may still be answered (or repeated) until its time-out;
            // only after that can nothing old answer a new request. Text does not hold it up,
            // and answers that never stop do not hold it for ever.
            const bool answering = s.blocks > 0 || pieces || s.tailDigits >= 0;
            if (age > BlockTimeoutTicks && (!answering || age > 2 * BlockTimeoutTicks)) {
                offset_ = 0;
                return next();
            }
            Action a;
            a.discard = true;
            lastLength_ = 0;
            return a;
        }

        case Phase::Confirming:
            // An answer after the last block means one block took another's place.
            if (s.blocks > 0 || pieces)
                return doubtful();
            if (growing)
                return {};
            // A little longer than the slowest answer, for answers a little slower than that.
            if (age > slowest_) {
                Action a;
                a.step = Step::Complete;
                a.discard = true;
                return a;
            }
            return {};
    }
    return {};
}
