// libFuzzer target: the link engine on the test fakes against a model generator, in simulated
// time, with the timers run as Qt runs them (the poll also inside the tick's message boxes and
// upload yields). Each input is a small script, read front to back (missing bytes read as 0):
//
//   byte 0     bit 0: a healthy generator (every answer whole, within 250 ms)
//              bits 1-2: the image it serves: 0 all blocks differ, 1 one block and padding,
//              2 from the input (256 bytes follow)
//              bits 3-6: text after every block answer: 0 none, 1 "\r\nOK\r\n", k > 1 (k - 1) x 4
//              bytes of anything but "A" (the same for the whole run)
//              bit 7: that text comes as a write of its own, 150 ms after the block
//   byte 1     how long each message box stays open, in 50 ms
//   byte 2     n, the number of answer plans; then n plans of 3 bytes: delay in 50 ms, fault
//              (0 none, 1 dropped, 2 cut to 30 bytes, 3 a spoilt digit, 4 split in two,
//              5 "NG", 6 sent twice, 7 late), and the gap before the second half or copy, or
//              the extra delay, in 50 ms.
//              Answer k follows plan k mod n; no plans: answers at once.
//   then actions, each a byte (mod 16) and, for commands, one parameter byte:
//              0 connect (port dialog OK: presence query), 1 disconnect, 2 wait (byte x 100 ms),
//              3 TMIX, 4 PTIX, 5 TMGS, 6 PTNS, 7 ATRN, 8 DFSET, 9 REDID, 10 UEDID, 11 WEDID,
//              12-15 connect.
//
// An EDID read meets the generator it is built for: it starts on a quiet line (no answer of an
// earlier command still on its way), its block answers take about the same time (the read's
// first block's delay, give or take 10 %), never longer than the read's time-out, and one of
// its answers at most carries a fault. Other answers take any plan.
//
// Oracles: a read that says it succeeded holds exactly the generator's image; an upload that
// says it succeeded delivered exactly the image it started with; a healthy generator (text
// after its blocks or not) never gives a failure message; what the device sent while the port was
// closed never passes for a reply; the engine never breaks the protocol; every command ends within
// the bound below; the accumulator and the slots keep their invariants after every poll and tick.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FakeClock.h"
#include "FakeLine.h"
#include "FakeView.h"
#include "ModelGenerator.h"
#include "TimerLoop.h"
#include "link/LinkEngine.h"

namespace {

// Reads the script front to back; past its end every byte is 0.
class Script {
public:
    Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    quint8 byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool done() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A line that knows which queued bytes came while the port was closed.
class WatchedLine : public FakeLine {
public:
    using FakeLine::FakeLine;
    int closedBytes = 0;  // bytes at the front of the queue that came while the port was closed
    bool closedBytesRead = false;

    void discardInput(quint8 port) override {
        FakeLine::discardInput(port);
        closedBytes = 0;
    }
    int readAvailable(quint8 port, quint8* buffer, int capacity) override {
        const int n = FakeLine::readAvailable(port, buffer, capacity);
        if (n > 0 && closedBytes > 0)
            closedBytesRead = true;
        closedBytes = std::max(0, closedBytes - n);
        return n;
    }
};

[[noreturn]] void fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "oracle failed: %s %s\n", what, qPrintable(detail));
    std::abort();
}

// The longest a command may take, start to every slot idle, in simulated ms:
// its frame (11 bytes x 35 ms) and a late timer; the first answer's time-out (46 polls for
// REDID, 17 for the others) and the tick after it; the data phase (UEDID 256 x (105 + 5) ms,
// ATRN 130 x 105 ms, with 1 ms per gauge step); the final answer's time-out (101 polls for
// WEDID) and its tick; and every message box held open (a command shows at most two, the
// presence query one more). A read adds its block phase: at most 2 passes of 8 blocks, each
// block at most 3 requests of 10 ticks and 10 ticks settling, then up to 19 ticks of quiet and
// 11 of confirmation.
quint32 boundMs(Command c, quint32 holdMs) {
    quint32 ms = 11 * 35 + 500 + 4600 + 500 + 10100 + 500 + 3 * holdMs + 1000;
    if (c == Command::Uedid)
        ms += 256 * 110 + 1000;
    if (c == Command::Atrn || c == Command::Tmgs || c == Command::Ptns)
        ms += 130 * 105 + 100;
    if (c == Command::Redid)
        ms += (2 * 8 * (3 * 10 + 10) + 19 + 11) * 500;
    return ms;
}

class Scenario {
public:
    explicit Scenario(Script& in) : in_(in) {
        const quint8 head = in.byte();
        healthy_ = head & 1;
        const int imageKind = (head >> 1) & 3;
        loop_.messageHoldMs = in.byte() * 50u;
        for (int i = 0; i < 256; ++i) model_.image[i] = quint8(i * 7 + 3);
        if (imageKind == 1)
            std::fill(model_.image.begin() + 128, model_.image.end(), quint8(0));
        if (imageKind == 2)
            for (quint8& b : model_.image) b = in.byte();
        const int trailer = (head >> 3) & 15;
        if (trailer == 1)
            model_.blockTrailer = "\r\nOK\r\n";
        quint32 seed = head * 2246822519u + 7;
        for (int i = 0; trailer > 1 && i < (trailer - 1) * 4; ++i) {
            seed = seed * 1103515245u + 12345u;
            const char c = char(seed >> 24);
            model_.blockTrailer += c == 'A' ? 'a' : c;
        }
        model_.trailerDelayMs = (head & 0x80) ? 150 : 0;
        const int plans = in.byte();
        for (int i = 0; i < plans; ++i) {
            ModelGenerator::Plan p;
            p.delayMs = in.byte() * 50u;
            p.fault = static_cast<ModelGenerator::Fault>(in.byte() % 8);
            p.faultDelayMs = in.byte() * 50u;
            plans_.push_back(p);
        }
        engine_.setView(&view_);
        model_.attach(line_, clock_);
        model_.planner = [this](int n, ModelGenerator::ReplyKind k) { return plan(n, k); };
        model_.onDeliver = [this] {
            if (!engine_.state().portOpen)
                line_.closedBytes = int(line_.inbound.size());
        };
        loop_.afterEvent = [this] { checkInvariants(); };
    }

    void run() {
        for (int step = 0; step < 24 && !in_.done(); ++step) {
            const int action = in_.byte() % 16;
            if (action == 1) {
                engine_.disconnectPort();
                line_.closedBytes = int(line_.inbound.size());
            } else if (action == 2) {
                loop_.runUntil(clock_.now + in_.byte() * 100u);
            } else if (action >= 3 && action <= 11) {
                command(static_cast<Command>(action - 2), in_.byte());
            } else {
                connect();
            }
        }
    }

private:
    ModelGenerator::Plan plan(int n, ModelGenerator::ReplyKind kind) {
        ModelGenerator::Plan p =
            plans_.empty() ? ModelGenerator::Plan{} : plans_[n % plans_.size()];
        if (healthy_)
            return {std::min<quint32>(p.delayMs, 250), ModelGenerator::Fault::None, 0};
        if (kind != ModelGenerator::ReplyKind::Block) {
            readBlocks_ = 0;
            if (readStarting_) {
                // The read's first answer: any delay, and it may carry the read's one fault.
                readStarting_ = false;
                readFaulted_ = p.fault != ModelGenerator::Fault::None;
            }
            return p;
        }
        // Block answers: about the same delay throughout the read, one fault at most, and
        // nothing later than the read's time-out.
        constexpr quint32 TimeoutMs = EdidBlockReader::BlockTimeoutTicks * TimerLoop::TickMs;
        if (readBlocks_++ == 0)
            readDelay_ = std::min(p.delayMs, TimeoutMs - 600);
        const int jitter = int(p.delayMs % 21) - 10;  // -10 .. +10 %
        p.delayMs = quint32(std::max(0, int(readDelay_) + int(readDelay_) * jitter / 100));
        p.delayMs = std::min(p.delayMs, TimeoutMs - 600);
        if (p.fault != ModelGenerator::Fault::None) {
            if (readFaulted_)
                p.fault = ModelGenerator::Fault::None;
            readFaulted_ = true;
        }
        p.faultDelayMs = std::min(p.faultDelayMs, TimeoutMs - 600 - p.delayMs);
        return p;
    }

    void connect() {
        const int before = int(view_.messages.size());
        if (!engine_.connectPort(1))
            fail("port did not open");
        settle(Command::Urtcnt, before);
    }

    void command(Command c, quint8 param) {
        CommandData& d = engine_.data();
        quint32 seed = param * 2654435761u + 1;
        auto next = [&seed] {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            return seed;
        };
        d.SelectedTimingIndex = param % 35;
        d.SelectedPatternIndex = param % 39;
        for (quint8& f : d.TimingSelection) f = next() & 1;
        for (quint8& f : d.PatternSelection) f = next() & 1;
        for (int s = 0; s < ProgramColumns::StepCount; ++s) {
            d.ProgramUpload.timing[s] = quint8(next() % 36);
            d.ProgramUpload.pattern[s] = quint8(next() % 40);
            d.ProgramUpload.unit[s] = quint8(next() % 2);
            d.ProgramUpload.showTime[s] = quint8(next() % 60);
        }
        if (c == Command::Uedid && (param & 1))
            for (quint8& b : engine_.edid()) b = quint8(next());
        const EdidImage imageAtStart = engine_.edid();
        const EdidImage served = model_.image;
        const int uploadsBefore = model_.uedidUploads;
        if (c == Command::Redid && engine_.mayStart()) {
            loop_.runUntil(std::max(clock_.now, model_.lastDue()));
            readStarting_ = true;
        }
        const int before = int(view_.messages.size());
        if (!engine_.startCommand(c))
            return;  // refused silently: not present, or something outstanding
        const QStringList shown = settle(c, before);
        if (c == Command::Redid && shown.contains(QStringLiteral("  Read EDID Successful!!  ")) &&
            engine_.edid() != served)
            fail("read succeeded with the wrong image");
        if (c == Command::Uedid && shown.contains(QStringLiteral("Upload successful!!")) &&
            (model_.uedidUploads != uploadsBefore + 1 || model_.lastUpload != imageAtStart))
            fail("upload succeeded without delivering the image");
    }

    // Runs the timers until every slot is idle again; returns the messages shown meanwhile.
    QStringList settle(Command c, int before) {
        const quint32 start = clock_.now;
        if (!loop_.runUntilIdle(start + boundMs(c, loop_.messageHoldMs)))
            fail("command did not end in time", QString::number(int(c)));
        const QStringList shown = view_.messages.mid(before);
        if (getenv("FUZZ_DEBUG"))
            std::fprintf(stderr, "cmd %d at %u: %s requests %d\n", int(c), clock_.now,
                         qPrintable(shown.join("|")), model_.blockRequests);
        if (healthy_) {
            for (const QString& m : shown)
                if (m == QLatin1String("No Response !!") || m == QLatin1String("Error!!") ||
                    m == QLatin1String("Write EDID Fail!!"))
                    fail("healthy generator gave a failure", m);
        }
        if (line_.closedBytesRead)
            fail("bytes sent while the port was closed were taken as a reply");
        if (!model_.violations.empty())
            fail("protocol broken", model_.violations.front());
        return shown;
    }

    void checkInvariants() {
        const LinkState& st = engine_.state();
        if (st.replyLength < 0 || st.replyLength > LinkState::BufferSize)
            fail("accumulator length", QString::number(st.replyLength));
        int busy = 0;
        for (int i = 0; i < CommandCount; ++i) {
            const auto s = quint8(st.slot(Command(i)));
            if (s == 3 || s > 5)
                fail("slot value", QString::number(s));
            if (s != 0)
                ++busy;
        }
        if (busy > 2 || (busy == 2 && st.urtcntSlot == CommandSlot::Idle))
            fail("more than one command outstanding");
        if (engine_.gauge() < 0 || engine_.gauge() > 100)
            fail("gauge", QString::number(engine_.gauge()));
    }

    Script& in_;
    FakeClock clock_;
    WatchedLine line_{&clock_};
    FakeView view_;
    LinkEngine engine_{line_, clock_};
    ModelGenerator model_;
    TimerLoop loop_{engine_, clock_, view_, model_};
    bool healthy_ = false;
    std::vector<ModelGenerator::Plan> plans_;
    int readBlocks_ = 0;
    quint32 readDelay_ = 0;
    bool readStarting_ = false;
    bool readFaulted_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script in(data, size);
    Scenario scenario(in);
    scenario.run();
    return 0;
}
