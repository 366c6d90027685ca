#pragma once

#include <QtGlobal>

// Time as the link sees it. Injected so that tests can move it by hand.
class Clock {
public:
    virtual ~Clock() = default;
    // Millisecond tick counter; wraps at 2^32.
    virtual quint32 tickMs() = 0;
    // Returns once at least ms milliseconds have passed; handles no events meanwhile.
    virtual void waitMs(quint32 ms) = 0;
    // Plain sleep of the calling thread (the short pauses between upload steps).
    virtual void sleepMs(quint32 ms) = 0;
};
