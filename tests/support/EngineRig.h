#pragma once

#include "FakeClock.h"
#include "FakeLine.h"
#include "FakeView.h"
#include "link/LinkEngine.h"

// An engine on a fake line, clock and view, connected to COM 1 and marked present.
struct EngineRig {
    FakeClock clock;
    FakeLine line{&clock};
    FakeView view;
    LinkEngine engine{line, clock};

    explicit EngineRig(bool present = true) {
        engine.setView(&view);
        if (present) {
            engine.state().portNumber = 1;
            engine.state().portOpen = 1;
            engine.state().devicePresent = 1;
        }
    }
    LinkState& st() { return engine.state(); }
    CommandSlot slot(Command c) { return engine.state().slot(c); }
    void poll(int n = 1) {
        for (int i = 0; i < n; ++i) engine.receivePoll();
    }
    void tick() { engine.supervisionTick(); }
    // The generator answers, the next poll takes it in, the next tick judges it.
    void answer(const QByteArray& reply) {
        line.feed(reply);
        poll();
        tick();
    }
    // Starts c from a clean state, with what the line saw cleared.
    bool start(Command c) {
        line.clearSent();
        view.reset();
        return engine.startCommand(c);
    }
};
