#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "FakeLine.h"
#include "edid/EdidCodec.h"
#include "edid/EdidImage.h"

// A generator of our own for driving the engine through whole dialogues in simulated time: it
// reads what the engine puts on a FakeLine, answers as the generator does, and plays faults on
// any answer (late, dropped, cut short, a spoilt digit, split in two, "NG", sent twice). It
// checks what it receives (frames, counts, checksums) and keeps what it was given.
class ModelGenerator {
public:
    enum class Fault { None, Drop, Truncate, Spoil, Split, Reject, Duplicate, Late };
    enum class ReplyKind { First, Block, Final };

    // How one answer goes out: after delayMs, with a fault; faultDelayMs is the gap before the
    // second half (Split) or the second copy (Duplicate), or the extra delay (Late).
    struct Plan {
        quint32 delayMs = 0;
        Fault fault = Fault::None;
        quint32 faultDelayMs = 0;
    };
    // Decides the plan of the n-th answer (counted from 0 over the model's life).
    std::function<Plan(int n, ReplyKind kind)> planner;

    EdidImage image{};  // what REDID serves and UEDID replaces
    bool silent = false;
    // Text after every block answer ("\r\nOK\r\n", ...), in the same write or, when
    // trailerDelayMs is not 0, as a write of its own that much later.
    QByteArray blockTrailer;
    quint32 trailerDelayMs = 0;

    // What the model took in.
    struct Exchange {
        QByteArray keyword;
        quint8 argument = 0;
        std::vector<quint8> data;
        bool complete = false;  // the data phase ended with its last byte
        bool accepted = false;  // counts, checksums and ranges held
    };
    std::vector<Exchange> exchanges;
    std::vector<QString> violations;  // anything the engine sent that breaks the protocol
    int blockRequests = 0;
    int uedidUploads = 0;  // UEDID data phases taken over whole
    EdidImage lastUpload{};

    void attach(FakeLine& line, FakeClock& clock) {
        line_ = &line;
        clock_ = &clock;
        // Answers reach the line when they are due, also while the program is sending.
        line.onPut = [this](FakeLine& l) {
            deliver(clock_->tickMs());
            feed(l.puts.back().byte);
        };
    }

    // Hands every answer that is due by now to the line.
    void deliver(quint32 now) {
        std::stable_sort(queue_.begin(), queue_.end(),
                         [](const Pending& a, const Pending& b) { return a.due < b.due; });
        while (!queue_.empty() && queue_.front().due <= now) {
            line_->feed(queue_.front().bytes);
            queue_.pop_front();
            if (onDeliver)
                onDeliver();
        }
    }
    // Runs after each answer reaches the line.
    std::function<void()> onDeliver;
    bool idle() const { return queue_.empty(); }
    // The time the last queued answer is due, or 0.
    quint32 lastDue() const {
        quint32 t = 0;
        for (const Pending& p : queue_) t = std::max(t, p.due);
        return t;
    }

private:
    enum class Stage { Idle, Keyword, Argument, FrameBlank, FrameLf, FrameCr, Lead, Value, Trail };
    struct Pending {
        quint32 due;
        QByteArray bytes;
    };

    // Framed data bytes that follow an accepted first reply; -1: block requests until the
    // next command.
    static int dataBytes(const QByteArray& k) {
        if (k == "TMIX" || k == "PTIX" || k == "WEDID")
            return 1;
        if (k == "TMGS")
            return 37;
        if (k == "PTNS")
            return 41;
        if (k == "ATRN")
            return 130;
        if (k == "UEDID")
            return 256;
        if (k == "REDID")
            return -1;
        return 0;
    }
    static quint8 argumentOf(const QByteArray& k) {
        const int n = dataBytes(k);
        if (k == "UEDID")
            return 255;
        return n > 0 && k != "WEDID" ? quint8(n) : 0;
    }

    void violate(const QString& what) { violations.push_back(what); }

    void feed(quint8 b) {
        switch (stage_) {
            case Stage::Idle:
                if (b >= 'A' && b <= 'Z') {
                    keyword_ = QByteArray(1, char(b));
                    stage_ = Stage::Keyword;
                } else {
                    violate(QStringLiteral("stray byte %1").arg(b));
                }
                return;
            case Stage::Keyword:
                if (b == ' ')
                    stage_ = Stage::Argument;
                else if (b >= 'A' && b <= 'Z' && keyword_.size() < 8)
                    keyword_ += char(b);
                else
                    brokenFrame(b);
                return;
            case Stage::Argument:
                argument_ = b;
                stage_ = Stage::FrameBlank;
                return;
            case Stage::FrameBlank:
                b == ' ' ? void(stage_ = Stage::FrameLf) : brokenFrame(b);
                return;
            case Stage::FrameLf:
                b == '\n' ? void(stage_ = Stage::FrameCr) : brokenFrame(b);
                return;
            case Stage::FrameCr:
                b == '\r' ? frameComplete() : brokenFrame(b);
                return;
            case Stage::Lead:
                if (b == ' ') {
                    stage_ = Stage::Value;
                } else if (b >= 'A' && b <= 'Z') {
                    endDataPhase();
                    keyword_ = QByteArray(1, char(b));
                    stage_ = Stage::Keyword;
                } else {
                    violate(QStringLiteral("data byte not framed: %1").arg(b));
                    stage_ = Stage::Idle;
                }
                return;
            case Stage::Value:
                value_ = b;
                stage_ = Stage::Trail;
                return;
            case Stage::Trail:
                if (b != ' ') {
                    violate(QStringLiteral("data byte not framed: %1").arg(b));
                    stage_ = Stage::Idle;
                    return;
                }
                stage_ = Stage::Lead;
                dataByte(value_);
                return;
        }
    }

    void brokenFrame(quint8 b) {
        violate(QStringLiteral("broken %1 frame at %2").arg(QString::fromLatin1(keyword_)).arg(b));
        stage_ = Stage::Idle;
    }

    // A data phase that never came (its first answer was lost or spoilt on the way, so the
    // program gave up) ends with the next frame, as the generator resynchronises on it.
    void endDataPhase() {}

    void frameComplete() {
        stage_ = Stage::Idle;
        Exchange e;
        e.keyword = keyword_;
        e.argument = argument_;
        exchanges.push_back(e);
        const bool known = keyword_ == "URTCNT" || keyword_ == "DFSET" || dataBytes(keyword_) != 0;
        if (!known || argument_ != argumentOf(keyword_)) {
            violate(
                QStringLiteral("frame %1 %2").arg(QString::fromLatin1(keyword_)).arg(argument_));
            answer(QByteArray("NG\r\n"), ReplyKind::First);
            return;
        }
        answer(keyword_ == "REDID" ? QByteArray("OK1\r\n") : QByteArray("OK\r\n"),
               ReplyKind::First);
        if (dataBytes(keyword_) != 0)
            stage_ = Stage::Lead;
    }

    void dataByte(quint8 v) {
        Exchange& e = exchanges.back();
        const int want = dataBytes(e.keyword);
        if (want < 0) {
            ++blockRequests;
            if (v % EdidCodec::BlockBytes != 0) {
                violate(QStringLiteral("block offset %1").arg(v));
                return;
            }
            answer(EdidCodec::encodeBlock(image.data() + v), ReplyKind::Block);
            return;
        }
        e.data.push_back(v);
        if (int(e.data.size()) < want)
            return;
        e.complete = true;
        stage_ = Stage::Idle;
        e.accepted = dataAccepted(e);
        if (!e.accepted)
            violate(QStringLiteral("%1 data refused").arg(QString::fromLatin1(e.keyword)));
        if (e.accepted && e.keyword == "UEDID") {
            std::copy(e.data.begin(), e.data.end(), lastUpload.begin());
            image = lastUpload;
            ++uedidUploads;
        }
        answer(e.accepted ? QByteArray("OK\r\n") : QByteArray("NG\r\n"), ReplyKind::Final);
    }

    static bool dataAccepted(const Exchange& e) {
        const quint8 first = e.data[0];
        if (e.keyword == "TMIX")
            return first < 35;
        if (e.keyword == "PTIX")
            return first < 39;
        if (e.keyword == "WEDID")
            return first == 1;
        if (e.keyword == "UEDID")
            return true;
        const int count = e.keyword == "TMGS" ? 35 : e.keyword == "PTNS" ? 39 : 32;
        quint8 sum = 0;
        for (quint8 b : e.data) sum = quint8(sum + b);
        return first == count && sum == 0;
    }

    void answer(QByteArray bytes, ReplyKind kind) {
        const Plan plan = planner ? planner(replies_++, kind) : Plan{};
        if (silent || plan.fault == Fault::Drop)
            return;
        const quint32 due =
            clock_->tickMs() + plan.delayMs + (plan.fault == Fault::Late ? plan.faultDelayMs : 0);
        if (kind == ReplyKind::Block && !blockTrailer.isEmpty()) {
            if (trailerDelayMs == 0)
                bytes += blockTrailer;
            else
                queue_.push_back({due + trailerDelayMs, blockTrailer});
        }
        switch (plan.fault) {
            case Fault::Truncate:
                bytes.truncate(30);
                break;
            case Fault::Spoil:
                bytes[bytes.size() > 2 ? 1 : 0] = 'G';
                break;
            case Fault::Reject:
                bytes = "NG\r\n";
                break;
            case Fault::Split: {
                const qsizetype half = bytes.size() / 2;
                queue_.push_back({due, bytes.left(half)});
                queue_.push_back({due + plan.faultDelayMs, bytes.mid(half)});
                return;
            }
            case Fault::Duplicate:
                queue_.push_back({due + plan.faultDelayMs, bytes});
                break;
            default:
                break;
        }
        queue_.push_back({due, bytes});
    }

    FakeLine* line_ = nullptr;
    FakeClock* clock_ = nullptr;
    Stage stage_ = Stage::Idle;
    QByteArray keyword_;
    quint8 argument_ = 0;
    quint8 value_ = 0;
    std::deque<Pending> queue_;
    int replies_ = 0;
};
