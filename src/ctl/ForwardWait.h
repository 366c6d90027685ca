#pragma once

#include <QObject>
#include <functional>

class ResultsStation;

// orve1ctl's last moment with a line's server: after a unit has been recorded, the program
// waits until its records are on the server, or the forwarder says why not, but no longer than
// MaxWaitMs; then it says once on standard error what is left waiting (the spool keeps it, and
// the next run or orve1ctl results forward sends it).
class ForwardWait : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxWaitMs = 12000;

    // Calls done from the event loop once it is over; at once without a server.
    static void after(ResultsStation& station, QObject* parent, std::function<void()> done);

private:
    ForwardWait(ResultsStation& station, QObject* parent, std::function<void()> done);
    void check(bool timedOut);

    ResultsStation& station_;
    std::function<void()> done_;
    bool heard_ = false;  // a round after the record has reported
};
