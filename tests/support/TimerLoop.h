#pragma once

#include <algorithm>
#include <functional>

#include "FakeClock.h"
#include "FakeView.h"
#include "ModelGenerator.h"
#include "link/LinkEngine.h"

// The main window's two timers in simulated time, as Qt runs them: the receive poll every
// 100 ms and the supervision tick every 500 ms, each firing late (never twice) when the thread
// was busy sending. The poll also runs nested inside the tick's message boxes (held open for
// messageHoldMs) and upload yields; the tick never runs inside itself.
class TimerLoop {
public:
    static constexpr quint32 PollMs = 100;
    static constexpr quint32 TickMs = 500;

    TimerLoop(LinkEngine& engine, FakeClock& clock, FakeView& view, ModelGenerator& model)
        : engine_(engine), clock_(clock), model_(model) {
        nextPoll_ = clock.now + PollMs;
        nextTick_ = clock.now + TickMs;
        view.onYield = [this] { pollsDue(); };
        view.onMessage = [this](const QString&) {
            const quint32 until = clock_.now + messageHoldMs;
            while (clock_.now < until) {
                clock_.now = std::min(until, std::max(clock_.now, nextPoll_));
                pollsDue();
            }
        };
    }

    quint32 messageHoldMs = 0;
    // Runs after every poll and tick, e.g. to check invariants.
    std::function<void()> afterEvent;

    // Runs the timers until the clock reaches t.
    void runUntil(quint32 t) {
        while (clock_.now < t) step(t);
    }
    // Runs until the engine has nothing outstanding (true) or the clock reaches t (false).
    bool runUntilIdle(quint32 t) {
        while (clock_.now < t) {
            if (!engine_.AnyCommandBusy())
                return true;
            step(t);
        }
        return !engine_.AnyCommandBusy();
    }

private:
    void step(quint32 limit) {
        const quint32 next = std::min(nextPoll_, nextTick_);
        if (next > limit) {
            clock_.now = limit;
            return;
        }
        clock_.now = std::max(clock_.now, next);
        if (nextPoll_ <= nextTick_) {
            poll();
        } else {
            nextTick_ = std::max(nextTick_ + TickMs, clock_.now + 1);
            engine_.supervisionTick();
            if (afterEvent)
                afterEvent();
        }
    }
    void poll() {
        nextPoll_ = std::max(nextPoll_ + PollMs, clock_.now + 1);
        model_.deliver(clock_.now);
        engine_.receivePoll();
        if (afterEvent)
            afterEvent();
    }
    // The polls that are due while the tick's handler lets events run.
    void pollsDue() {
        while (nextPoll_ <= clock_.now) poll();
    }

    LinkEngine& engine_;
    FakeClock& clock_;
    ModelGenerator& model_;
    quint32 nextPoll_;
    quint32 nextTick_;
};
